#pragma once
// IDocument: the image document of the camera's last exposure, as the camera
// server hands it out. A document stays valid after later exposures (it keeps
// the image it was taken with). Every method throws AutomationError with the
// server's message on failure.
#include <QString>
#include <QVariant>
#include <memory>

class ImageSave;

// How a save treats a file already at the path: Replace overwrites it (what
// SaveImage does); CreateNew refuses to touch it.
enum class SaveMode { Replace, CreateNew };

// CreateNew and a file at `path`: throws AutomationError("Unable to save
// image <path>: the file exists"). A check before writing, not atomic with
// the write: an exclusive final step belongs to the writers.
void RefuseExistingFile(const QString& path, SaveMode mode);

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

    // Writes the image as a FITS file at the full path, replacing a file that
    // is there. Throws when the file cannot be written; an old file at that
    // path is then left as it was.
    virtual void SaveImage(const QString& path) = 0;

    // The same save, started on the pixel worker: returns at once; the
    // caller waits on the ImageSave. The name and keywords are those set when
    // it starts. The default saves at once through SaveImage (CreateNew
    // refuses an existing file first).
    virtual std::shared_ptr<ImageSave> StartSave(const QString& path, SaveMode mode);
};
