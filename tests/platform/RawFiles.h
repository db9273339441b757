#pragma once
// Raw bytes in and out of files, for tests that check what the INI and file
// components leave on disk byte for byte.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

// Writes `bytes` to `name` in `dir` and returns the file's path.
inline QString WriteRawFile(const QTemporaryDir& dir, const QByteArray& bytes, const QString& name)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(bytes);
    return path;
}

inline QByteArray ReadRawFile(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}
