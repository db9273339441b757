#include "platform/SmallFile.h"

#include "platform/Error.h"

#include <QFile>
#include <QFileInfo>

std::optional<QByteArray> SmallFile::Read(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists() || info.isDir())
        return std::nullopt;
    if (!info.isFile())
        throw Error(QStringLiteral("File %1 is not a regular file and is not read").arg(path));
    if (info.size() > MaxBytes)
        throw Error(TooLargeText(path, info.size()));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // A read allocates what it asks for, so ask for the size (and one byte
    // more, to notice a file that grew since the check); never past the limit.
    QByteArray bytes = file.read(info.size() + 1);
    if (bytes.size() > info.size())
        bytes += file.read(MaxBytes + 1 - bytes.size());
    if (bytes.size() > MaxBytes)
        throw Error(TooLargeText(path, qMax(file.size(), bytes.size())));
    return bytes;
}

QString SmallFile::TooLargeText(const QString& path, qint64 size)
{
    return QStringLiteral("File %1 is too large (%2 bytes); at most %3 MiB are read or written")
        .arg(path)
        .arg(size)
        .arg(MaxBytes >> 20);
}
