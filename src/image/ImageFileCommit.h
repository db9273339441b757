#pragma once
// ImageFileCommit: the one step that puts a finished image file in place,
// used by every FITS writer. The bytes go to a new temporary file in the
// target's folder (".tandexa-<random>.tmp", created exclusively with the
// usual mode for a new file), are flushed to the disk, and then:
//  - Replace: the temporary file is renamed over the target. A file that was
//    there gives the new one its mode and, where the process may set them
//    (root may), its owner and group: answering Yes on someone's 0640 file
//    keeps it theirs and 0640.
//  - CreateNew: the temporary file is put in place only if no file is at the
//    path at that instant (renameat2 with RENAME_NOREPLACE, or link(2) where
//    the file system lacks it; never a rename that could replace a file that
//    appeared meanwhile). A file there gives ImageExistsError and changes
//    nothing.
// Any failure removes the temporary file, leaves the target as it was, and
// throws ImageError("Unable to save image <path>: <reason>") with the
// system's reason ("no space left on the device", "Permission denied", ...).
// Safe to use from any thread: it touches no shared state (a replaced file's
// last reference is dropped on the pixel worker, which frees its blocks).
#include <QByteArrayView>
#include <QList>
#include <QString>

class ImageFileCommit {
public:
    enum class Mode { Replace, CreateNew };

    // Writes `parts` one after the other as the file at `path`.
    static void Write(const QString& path, const QList<QByteArrayView>& parts, Mode mode);

    // The reason for an errno value as the user reads it.
    static QString Reason(int error);
};
