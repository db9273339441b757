#pragma once
// IniText: the parsed lines of one INI file, with the lookup and edit rules of
// the Windows profile functions (see IniFile.h). Kept apart from IniFile so the
// rules can be tested on text without touching the disk.
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
    void setValue(const QString& section, const QString& key, const QString& value);

    // The text with each untouched line ending kept and CR LF for new lines.
    QByteArray serialize() const;

private:
    struct Line {
        QString text;
        QByteArray ending;   // "\r\n", "\n", "\r" or "" (last line without one)
    };
    std::vector<Line> m_lines;

    // Index of the first line of the first section called name (its header
    // line), or -1; end is set to the index one past the section's last line.
    int findSection(const QString& name, int* end) const;
    // Index of the first line in [begin, end) holding key, or -1.
    int findKey(const QString& key, int begin, int end) const;
};
