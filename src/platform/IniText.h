#pragma once
// IniText: the parsed lines of one INI file, with the lookup and edit rules of
// the Windows profile functions (see IniFile.h). Kept apart from IniFile so the
// rules can be tested on text without touching the disk.
//
// Encoding: a text whose bytes are valid UTF-8 is read as UTF-8, any other as
// Windows-1252 (files written on Windows). A line that no edit touched is
// written back as the bytes it was read from; a changed or added line is
// written in the encoding the text was read in (a new text is UTF-8). A UTF-8
// byte-order mark at the start is kept.
#include "platform/TextCodec.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

class IniText {
public:
    // Splits at CR LF, LF or CR; a missing final line end reads the same.
    static IniText parse(const QByteArray& bytes);

    // The value of key in section, or nothing when either is missing.
    std::optional<QString> value(const QString& section, const QString& key) const;
    bool hasSection(const QString& section) const;
    // Every key of the section in one pass, by lower-case key, with the same
    // rules as value() (first of duplicate keys wins). For sections with
    // thousands of keys, where a lookup per key would take quadratic time.
    QHash<QString, QString> sectionValues(const QString& section) const;

    // Sets key in section: rewrites the key's line in place, or adds the key at
    // the end of its section, or adds the section at the end of the text.
    // The value is written as quoteValue gives it. The caller checks first
    // that the names and value hold no line break and fit the encoding.
    void setValue(const QString& section, const QString& key, const QString& value);

    // The text with each untouched line (and its ending) kept byte for byte
    // and CR LF for new lines. Every character of a changed line must be
    // one the encoding holds (see unencodable()).
    QByteArray serialize() const;

    TextCodec::Encoding encoding() const { return m_encoding; }
    // The first character of text that the text's encoding cannot hold.
    std::optional<QChar> unencodable(const QString& text) const;

    // value as it must stand after "=" to read back exactly: inside one pair
    // of double quotes when reading would otherwise change it (blanks at
    // either end, or one matching pair of outer quotes); as it is otherwise.
    static QString quoteValue(const QString& value);

private:
    struct Line {
        QString text;
        QByteArray ending;   // "\r\n", "\n", "\r" or "" (last line without one)
        QByteArray raw;      // the bytes read; written back while !changed
        bool changed = true;
    };
    std::vector<Line> m_lines;
    TextCodec::Encoding m_encoding = TextCodec::Utf8;
    bool m_bom = false;

    // Index of the first line of the first section called name (its header
    // line), or -1; end is set to the index one past the section's last line.
    int findSection(const QString& name, int* end) const;
    // Index of the first line in [begin, end) holding key, or -1.
    int findKey(const QString& key, int begin, int end) const;
};
