#pragma once
// Reading Tandexa's own text files (settings, setup, sequence and filter
// files), which are a few KiB. A file that is not a regular file (a link to
// /dev/zero, a pipe) or holds more than MaxBytes is refused before it is
// read, so no file can exhaust memory or block the window.
#include <QByteArray>
#include <QString>
#include <optional>

class SmallFile {
public:
    static constexpr qint64 MaxBytes = qint64(16) << 20;

    // The whole file, or nothing when it does not exist or cannot be opened
    // (a directory cannot).
    // Throws Error("File <path> ...") naming the file and its size when it is
    // too large or not a regular file.
    static std::optional<QByteArray> Read(const QString& path);

    // The text of the size error, for writers that refuse oversized content.
    static QString TooLargeText(const QString& path, qint64 size);
};
