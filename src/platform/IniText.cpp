#include "IniText.h"

namespace {
const QByteArray kCrLf("\r\n");

// The blanks the Windows profile functions trim: ASCII white space only. A
// no-break space (U+00A0) or any other Unicode space is part of the text.
bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f';
}

QString trimBlanks(const QString& text)
{
    qsizetype begin = 0, end = text.size();
    while (begin < end && isBlank(text.at(begin)))
        ++begin;
    while (end > begin && isBlank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

// The name of a section header line "[ name ]", or nothing.
std::optional<QString> sectionName(const QString& line)
{
    const QString t = trimBlanks(line);
    if (!t.startsWith('['))
        return std::nullopt;
    const int close = t.indexOf(']');
    const QString name = close < 0 ? t.mid(1) : t.mid(1, close - 1);
    return trimBlanks(name);
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Splits "key = value" at the first "="; nothing for comments and lines
// without "=".
bool splitKeyLine(const QString& line, QString* key, QString* value)
{
    const QString t = trimBlanks(line);
    if (t.isEmpty() || t.startsWith(';') || t.startsWith('['))
        return false;
    const int eq = t.indexOf('=');
    if (eq < 0)
        return false;
    *key = trimBlanks(t.left(eq));
    if (value)
        *value = trimBlanks(t.mid(eq + 1));
    return true;
}

QString unquote(const QString& v)
{
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.mid(1, v.size() - 2);
    return v;
}
}

IniText IniText::parse(const QByteArray& input)
{
    IniText result;
    QByteArrayView bytes(input);
    if (bytes.startsWith(TextCodec::Utf8Bom)) {
        result.m_bom = true;
        bytes = bytes.sliced(TextCodec::Utf8Bom.size());
    }
    result.m_encoding = TextCodec::Detect(bytes);
    const auto addLine = [&result](QByteArrayView raw, QByteArray ending) {
        result.m_lines.push_back(
            {TextCodec::Decode(raw, result.m_encoding), std::move(ending), raw.toByteArray(), false});
    };
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const char c = bytes.at(i);
        if (c == '\r' || c == '\n') {
            QByteArray ending(1, c);
            if (c == '\r' && i + 1 < n && bytes.at(i + 1) == '\n')
                ending = kCrLf;
            addLine(bytes.sliced(start, i - start), ending);
            i += ending.size();
            start = i;
        } else {
            ++i;
        }
    }
    if (start < n)
        addLine(bytes.sliced(start), QByteArray());
    return result;
}

int IniText::findSection(const QString& name, int* end) const
{
    const int count = int(m_lines.size());
    for (int i = 0; i < count; ++i) {
        const auto found = sectionName(m_lines[size_t(i)].text);
        if (!found || !sameName(*found, trimBlanks(name)))
            continue;
        int j = i + 1;
        while (j < count && !sectionName(m_lines[size_t(j)].text))
            ++j;
        *end = j;
        return i;
    }
    return -1;
}

int IniText::findKey(const QString& key, int begin, int end) const
{
    for (int i = begin; i < end; ++i) {
        QString k;
        if (splitKeyLine(m_lines[size_t(i)].text, &k, nullptr) && sameName(k, trimBlanks(key)))
            return i;
    }
    return -1;
}

bool IniText::hasSection(const QString& section) const
{
    int end = 0;
    return findSection(section, &end) >= 0;
}

std::optional<QString> IniText::value(const QString& section, const QString& key) const
{
    int end = 0;
    const int header = findSection(section, &end);
    if (header < 0)
        return std::nullopt;
    const int at = findKey(key, header + 1, end);
    if (at < 0)
        return std::nullopt;
    QString k, v;
    splitKeyLine(m_lines[size_t(at)].text, &k, &v);
    return unquote(v).left(2047);
}

QHash<QString, QString> IniText::sectionValues(const QString& section) const
{
    QHash<QString, QString> values;
    int end = 0;
    const int header = findSection(section, &end);
    for (int i = header + 1; header >= 0 && i < end; ++i) {
        QString k, v;
        if (splitKeyLine(m_lines[size_t(i)].text, &k, &v) && !values.contains(k.toLower()))
            values.insert(k.toLower(), unquote(v).left(2047));
    }
    return values;
}

void IniText::setValue(const QString& section, const QString& key, const QString& value)
{
    const QString k = trimBlanks(key);
    int end = 0;
    const int header = findSection(section, &end);
    if (header < 0) {
        if (!m_lines.empty() && m_lines.back().ending.isEmpty())
            m_lines.back().ending = kCrLf;
        m_lines.push_back({QLatin1Char('[') + trimBlanks(section) + QLatin1Char(']'), kCrLf});
        m_lines.push_back({k + QLatin1Char('=') + quoteValue(value), kCrLf});
        return;
    }
    const int at = findKey(k, header + 1, end);
    if (at >= 0) {
        QString existing;
        splitKeyLine(m_lines[size_t(at)].text, &existing, nullptr);
        Line& line = m_lines[size_t(at)];
        line.text = existing + QLatin1Char('=') + quoteValue(value);
        line.changed = true;
        if (line.ending.isEmpty())
            line.ending = kCrLf;
        return;
    }
    // After the section's last non-blank line, so blank separator lines stay
    // in front of the next section.
    int insertAt = end;
    while (insertAt > header + 1 && trimBlanks(m_lines[size_t(insertAt - 1)].text).isEmpty())
        --insertAt;
    if (m_lines[size_t(insertAt - 1)].ending.isEmpty())
        m_lines[size_t(insertAt - 1)].ending = kCrLf;
    m_lines.insert(m_lines.begin() + insertAt, Line{k + QLatin1Char('=') + quoteValue(value), kCrLf});
}

QByteArray IniText::serialize() const
{
    QByteArray out;
    if (m_bom)
        out += TextCodec::Utf8Bom;
    for (const Line& line : m_lines) {
        out += line.changed ? TextCodec::Encode(line.text, m_encoding).value_or(QByteArray()) : line.raw;
        out += line.ending;
    }
    return out;
}

std::optional<QChar> IniText::unencodable(const QString& text) const
{
    QChar bad;
    if (TextCodec::Encode(text, m_encoding, &bad))
        return std::nullopt;
    return bad;
}

QString IniText::quoteValue(const QString& value)
{
    if (value.isEmpty())
        return value;
    const bool blankAtEnd = isBlank(value.front()) || isBlank(value.back());
    if (blankAtEnd || unquote(value).size() != value.size())
        return QLatin1Char('"') + value + QLatin1Char('"');
    return value;
}
