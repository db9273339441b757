#pragma once
// "FilterSet.txt": the filter names last read from the camera, one per line,
// line 1 being wheel position 0. Written with CR LF after every line (an
// empty list gives an empty file); read with CR, LF or CR LF line ends, a zero
// byte ending the text, every line (empty ones too) one entry, and a final
// line end adding no empty entry.
//
// Encoding as for the INI files: a file of valid UTF-8 is read as UTF-8, any
// other (written on Windows) as Windows-1252; a save writes the encoding and
// byte-order mark of the file it replaces (a new file is UTF-8), so the names
// that did not change keep their bytes.
#include "platform/TextCodec.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

class FilterSetFile {
public:
    static QString Path();
    static QStringList Parse(const QByteArray& bytes);
    // Nothing when a name holds a character the encoding cannot store; *bad
    // then receives it.
    static std::optional<QByteArray> Format(const QStringList& names,
                                            TextCodec::Encoding encoding = TextCodec::Utf8,
                                            bool bom = false, QChar* bad = nullptr);

    // A missing file is an empty list (a first start has none). A file that
    // exists but cannot be read throws Error("Cannot open file <path>"); one
    // that is too large or not a regular file throws its size error.
    static QStringList Load(const QString& path);
    // Atomic: a failed write keeps the old file and throws
    // Error("Cannot create file <path>..."), also when a name cannot be
    // stored in the file's encoding.
    static void Save(const QString& path, const QStringList& names);
};
