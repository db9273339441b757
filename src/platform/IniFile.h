#pragma once
// IniFile: profile-string access to one INI text file, with the semantics of
// the Windows private-profile functions so files move between systems:
//  - sections and keys match without regard to letter case;
//  - a missing file, section or key, or a value that does not parse as the
//    kind asked for, reads as the caller's default;
//  - blanks around names, "=" and values are trimmed; one matching outer pair
//    of quotes is removed from a value; values are cut at 2047 characters;
//  - integers are written in decimal and read in decimal or "0x"/"0X"/"$" hex;
//    booleans are written "1"/"0" and read as integers (non-zero is true);
//  - every write reaches the disk at once, keeps every other line byte for
//    byte, and goes through a temporary file and an atomic rename so a crash
//    or a full disk never leaves the file half written;
//  - lines are written with CR LF and read with CR LF, LF or CR;
//  - a value that reading would change (blanks at either end, one pair of
//    outer quotes) is written inside double quotes, so it reads back exactly;
//  - files in UTF-8 and in Windows-1252 both read correctly, and a write
//    keeps the file's encoding (see IniText).
// A failed write throws Error("Unable to write to <path>...") and leaves the
// file untouched: also for a value holding a line break or a character the
// file's encoding cannot hold. A longer value than MaxValueLength is written
// whole (as Windows does) but reads back cut; editors limit their fields. A file that
// is not a regular file or is larger than SmallFile::MaxBytes throws its
// size error on reading and writing. Nothing is cached: each call reads or
// rewrites the file.
#include <QHash>
#include <QString>

class IniFile {
public:
    // The longest value a read returns whole.
    static constexpr int MaxValueLength = 2047;

    explicit IniFile(const QString& path);
    const QString& fileName() const { return m_path; }

    QString ReadString(const QString& section, const QString& key, const QString& def) const;
    int ReadInteger(const QString& section, const QString& key, int def) const;
    bool ReadBool(const QString& section, const QString& key, bool def) const;
    double ReadFloat(const QString& section, const QString& key, double def) const;

    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);
    void WriteBool(const QString& section, const QString& key, bool value);
    void WriteFloat(const QString& section, const QString& key, double value);

    // Every key of a section from one read of the file, by lower-case key,
    // each value as ReadString gives it. Empty for a missing file or section.
    QHash<QString, QString> ReadSection(const QString& section) const;

    // True when the file exists and [section] appears in it.
    bool SectionExists(const QString& section) const;

private:
    QString m_path;
};
