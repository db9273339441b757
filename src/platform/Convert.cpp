#include "platform/Convert.h"

#include "platform/Error.h"

#include <limits>

std::optional<int> TryStrToInt(const QString& text)
{
    // Blanks only around the whole number; inside it exactly: one sign, one
    // optional hexadecimal prefix, then digits of that base and nothing else.
    const QString t = text.trimmed();
    qsizetype i = 0;
    const qsizetype n = t.size();
    bool negative = false;
    if (i < n && (t[i] == '+' || t[i] == '-')) {
        negative = t[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < n && t[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < n && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= n)
        return std::nullopt;
    // The magnitude stays below 2^32 digit by digit, so it cannot wrap.
    qint64 magnitude = 0;
    for (; i < n; ++i) {
        const char16_t c = t[i].unicode();
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0)
            return std::nullopt;
        magnitude = magnitude * base + digit;
        if (magnitude > (qint64(1) << 32))
            return std::nullopt;
    }
    const qint64 value = negative ? -magnitude : magnitude;
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(value);
}

int StrToInt(const QString& text)
{
    if (const auto value = TryStrToInt(text))
        return *value;
    throw Error(QStringLiteral("'%1' is not a valid integer value").arg(text));
}
