#pragma once
// Writes a whole file through a temporary file in the same directory and an
// atomic rename, so the old content survives any failure (full disk, crash,
// read-only directory). Throws Error(errorText) when the file cannot be
// written; errorText is the message a user sees, e.g. "Unable to write to x".
#include <QByteArray>
#include <QString>

void WriteFileAtomically(const QString& path, const QByteArray& content, const QString& errorText);
