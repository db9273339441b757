#include "SequenceItemLine.h"

#include <limits>
#include <optional>

namespace {
bool isBlank(QChar c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

void skipBlanks(const QString& s, int& i)
{
    while (i < s.size() && isBlank(s[i]))
        ++i;
}

// A signed decimal integer that fits 32 bits, at i after any blanks; stops at
// the first character that is not a digit, like the C library's "%d".
std::optional<int> readInt(const QString& s, int& i)
{
    skipBlanks(s, i);
    int j = i;
    bool negative = false;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) {
        negative = s[j] == '-';
        ++j;
    }
    const int start = j;
    qint64 value = 0;
    while (j < s.size() && s[j] >= '0' && s[j] <= '9') {
        value = value * 10 + (s[j].unicode() - '0');
        if (value > qint64(std::numeric_limits<int>::max()) + 1)
            return std::nullopt;
        ++j;
    }
    if (j == start)
        return std::nullopt;
    if (negative)
        value = -value;
    if (value > std::numeric_limits<int>::max() || value < std::numeric_limits<int>::min())
        return std::nullopt;
    i = j;
    return int(value);
}
}

QString FormatItemLine(const TSequenceItem& item)
{
    return QStringLiteral("%1 %2 %3 %4 %5-")
        .arg(item.Filter)
        .arg(item.Exposure)
        .arg(item.Binning)
        .arg(item.Repeat)
        .arg(item.Suffix);
}

ParsedItemLine ParseItemLine(const QString& line)
{
    ParsedItemLine result;
    int i = 0;
    int* fields[] = {&result.item.Filter, &result.item.Exposure, &result.item.Binning,
                     &result.item.Repeat};
    for (int* field : fields) {
        const auto value = readInt(line, i);
        if (!value)
            return result;
        *field = *value;
    }
    skipBlanks(line, i);
    const int start = i;
    while (i < line.size() && !isBlank(line[i]))
        ++i;
    if (i == start)
        return result;
    result.item.Suffix = line.mid(start, i - start - 1);
    result.complete = true;
    return result;
}
