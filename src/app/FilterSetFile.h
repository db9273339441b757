#pragma once
// "FilterSet.txt": the filter names last read from the camera, one per line,
// line 1 being wheel position 0. Written with CR LF after every line (an
// empty list gives an empty file); read with CR, LF or CR LF line ends, a zero
// byte ending the text, every line (empty ones too) one entry, and a final
// line end adding no empty entry.
#include <QByteArray>
#include <QString>
#include <QStringList>

class FilterSetFile {
public:
    static QString Path();
    static QStringList Parse(const QByteArray& bytes);
    static QByteArray Format(const QStringList& names);

    // A missing file is an empty list (a first start has none). A file that
    // exists but cannot be read throws Error("Cannot open file <path>").
    static QStringList Load(const QString& path);
    // Atomic: a failed write keeps the old file and throws
    // Error("Cannot create file <path>").
    static void Save(const QString& path, const QStringList& names);
};
