#include "IniFile.h"

#include "AtomicFile.h"
#include "Convert.h"
#include "Error.h"
#include "IniText.h"
#include "LocaleInfo.h"
#include "SmallFile.h"

#include <QFile>
#include <QLocale>

namespace {
IniText load(const QString& path)
{
    return IniText::parse(SmallFile::Read(path).value_or(QByteArray()));
}

bool holdsLineBreak(const QString& text)
{
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
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
    return TryStrToInt(*text).value_or(def);
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
    const QString failure = QStringLiteral("Unable to write to %1").arg(m_path);
    // A line break would end the line early and start lines of its own.
    if (holdsLineBreak(section) || holdsLineBreak(key) || holdsLineBreak(value))
        throw Error(failure + QStringLiteral(": a value may not hold a line break"));
    const std::optional<QByteArray> bytes = SmallFile::Read(m_path);
    // A file that exists but cannot be read would be replaced by one key.
    if (!bytes && QFile::exists(m_path))
        throw Error(failure);
    IniText text = IniText::parse(bytes.value_or(QByteArray()));
    if (const auto bad = text.unencodable(section + key + value))
        throw Error(failure + QStringLiteral(": ") + TextCodec::UnencodableText(*bad, text.encoding()));
    text.setValue(section, key, value);
    WriteFileAtomically(m_path, text.serialize(), failure);
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
