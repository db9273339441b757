#pragma once
// IDocument: the image document of the camera's last exposure, as the camera
// server hands it out. A document stays valid after later exposures (it keeps
// the image it was taken with). Every method throws AutomationError with the
// server's message on failure.
#include <QString>
#include <QVariant>
#include <memory>

class ImageSave;

// How a save treats the file at its path.
//  - Replace: puts the image over a file that is there (after the user said
//    so); a file that is replaced keeps its mode and owner.
//  - CreateNew: puts the image in place only when no file is there at the
//    last instant; when one is, nothing is written and the save throws
//    FileExistsError. Never a rename over a file that appeared meanwhile.
enum class SaveMode { Replace, CreateNew };

class IDocument {
public:
    virtual ~IDocument() = default;

    // Title of the image; the simulated camera writes it as OBJECT.
    virtual void SetDisplayName(const QString& name) = 0;
    virtual QString DisplayName() const = 0;

    // Sets a header keyword of the saved file: replaces the camera's own
    // keyword of that name or adds one, for every later SaveImage. The name
    // is a FITS keyword (at most 8 characters); the value an int, qint64,
    // double, bool or text.
    virtual void SetFITSKey(const QString& key, const QVariant& value) = 0;

    // Writes the image as a FITS file at the full path, in `mode`. Throws when
    // the file cannot be written; an old file at that path is then left as it
    // was, and no partial file is left behind.
    virtual void SaveImage(const QString& path, SaveMode mode) = 0;
    // Replaces a file that is there.
    void SaveImage(const QString& path) { SaveImage(path, SaveMode::Replace); }

    // The same save, started on the pixel worker: returns at once; the
    // caller waits on the ImageSave, whose Result() throws what SaveImage
    // would have thrown (FileExistsError included). The name and keywords are
    // those set when it starts. The default saves at once through SaveImage.
    virtual std::shared_ptr<ImageSave> StartSave(const QString& path, SaveMode mode);
};
