#include "IniSectionValues.h"

#include <QStringList>

namespace {
QString unquote(const QString& v)
{
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.mid(1, v.size() - 2);
    return v;
}

// The name of a section header line "[ name ]", or nothing.
std::optional<QString> sectionName(const QString& trimmed)
{
    if (!trimmed.startsWith('['))
        return std::nullopt;
    const int close = int(trimmed.indexOf(']'));
    return (close < 0 ? trimmed.mid(1) : trimmed.mid(1, close - 1)).trimmed();
}
}

IniSectionValues::IniSectionValues(const QByteArray& bytes, const QString& section)
{
    // CR LF, LF and CR all end a line.
    QString text = QString::fromLocal8Bit(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QString wanted = section.trimmed();
    bool inside = false;
    for (const QString& raw : text.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (const auto name = sectionName(line)) {
            if (inside)
                return;   // only the first section of that name counts
            inside = name->compare(wanted, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inside || line.isEmpty() || line.startsWith(';'))
            continue;
        const int eq = int(line.indexOf('='));
        if (eq < 0)
            continue;
        const QString key = line.left(eq).trimmed().toLower();
        if (!m_values.contains(key))
            m_values.insert(key, unquote(line.mid(eq + 1).trimmed()).left(2047));
    }
}

std::optional<QString> IniSectionValues::value(const QString& key) const
{
    const auto it = m_values.constFind(key.trimmed().toLower());
    if (it == m_values.constEnd())
        return std::nullopt;
    return *it;
}
