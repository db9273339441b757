#include "IniFile.h"

#include "AtomicFile.h"
#include "IniText.h"
#include "LocaleInfo.h"

#include <QFile>
#include <cctype>
#include <QLocale>
#include <limits>

namespace {
IniText load(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return IniText();
    return IniText::parse(file.readAll());
}

// Decimal, or hexadecimal after "0x"/"0X", with an optional sign; the whole
// text must be the number and it must fit 32 bits.
std::optional<int> parseInteger(const QString& text)
{
    QString t = text;
    bool negative = false;
    if (t.startsWith('+') || t.startsWith('-')) {
        negative = t.startsWith('-');
        t.remove(0, 1);
    }
    int base = 10;
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        base = 16;
        t.remove(0, 2);
    }
    if (t.isEmpty())
        return std::nullopt;
    for (QChar c : t)
        if (!(base == 16 ? std::isxdigit(c.toLatin1()) : c.isDigit()) || c.unicode() > 127)
            return std::nullopt;
    bool ok = false;
    const qlonglong magnitude = t.toLongLong(&ok, base);
    if (!ok)
        return std::nullopt;
    const qlonglong value = negative ? -magnitude : magnitude;
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(value);
}
}

IniFile::IniFile(const QString& path) : m_path(path) {}

QString IniFile::ReadString(const QString& section, const QString& key, const QString& def) const
{
    return load(m_path).value(section, key).value_or(def);
}

int IniFile::ReadInteger(const QString& section, const QString& key, int def) const
{
    const auto text = load(m_path).value(section, key);
    if (!text)
        return def;
    return parseInteger(*text).value_or(def);
}

bool IniFile::ReadBool(const QString& section, const QString& key, bool def) const
{
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

double IniFile::ReadFloat(const QString& section, const QString& key, double def) const
{
    const auto text = load(m_path).value(section, key);
    if (!text || text->isEmpty())
        return def;
    QString t = *text;
    t.replace(DecimalSeparator(), QLatin1Char('.'));
    bool ok = false;
    const double value = QLocale::c().toDouble(t, &ok);
    return ok ? value : def;
}

void IniFile::WriteString(const QString& section, const QString& key, const QString& value)
{
    IniText text = load(m_path);
    text.setValue(section, key, value);
    WriteFileAtomically(m_path, text.serialize(), QStringLiteral("Unable to write to %1").arg(m_path));
}

void IniFile::WriteInteger(const QString& section, const QString& key, int value)
{
    WriteString(section, key, QString::number(value));
}

void IniFile::WriteBool(const QString& section, const QString& key, bool value)
{
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void IniFile::WriteFloat(const QString& section, const QString& key, double value)
{
    QString t = QString::number(value, 'g', 15);
    t.replace(QLatin1Char('.'), DecimalSeparator());
    WriteString(section, key, t);
}

QHash<QString, QString> IniFile::ReadSection(const QString& section) const
{
    return load(m_path).sectionValues(section);
}

bool IniFile::SectionExists(const QString& section) const
{
    return load(m_path).hasSection(section);
}
