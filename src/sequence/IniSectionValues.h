#pragma once
// IniSectionValues: every key of one section of an INI text, read in one
// pass with the lookup rules of IniText (section and key names trimmed and
// matched without regard to letter case, only the first section of a name is
// searched, the first of duplicate keys wins, values trimmed, one matching
// outer pair of quotes removed, cut at 2047 characters). A sequence file may
// hold thousands of item keys; looking each up in turn would take quadratic
// time.
#include <QByteArray>
#include <QHash>
#include <QString>
#include <optional>

class IniSectionValues {
public:
    IniSectionValues(const QByteArray& bytes, const QString& section);
    std::optional<QString> value(const QString& key) const;

private:
    QHash<QString, QString> m_values;   // by lower-case key
};
