#include "Decimal4.h"

#include "platform/Error.h"
#include "platform/LocaleInfo.h"

#include <limits>

namespace {
constexpr qint64 kMax = std::numeric_limits<qint64>::max();
}

std::optional<Decimal4> Decimal4::FromText(const QString& text, QChar sep)
{
    const QString t = text.trimmed();
    int i = 0;
    const int n = int(t.size());
    bool negative = false;
    if (i < n && (t[i] == '+' || t[i] == '-')) {
        negative = t[i] == '-';
        ++i;
    }
    // The digits of the mantissa without the separator, and how many of them
    // stand after it.
    QString digits;
    int fraction = 0;
    bool seenSep = false;
    int digitCount = 0;
    for (; i < n; ++i) {
        const QChar c = t[i];
        if (c >= '0' && c <= '9') {
            digits += c;
            ++digitCount;
            if (seenSep)
                ++fraction;
        } else if (c == sep && !seenSep) {
            seenSep = true;
        } else {
            break;
        }
    }
    if (digitCount == 0)
        return std::nullopt;
    int exponent = 0;
    if (i < n && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        bool expNegative = false;
        if (i < n && (t[i] == '+' || t[i] == '-')) {
            expNegative = t[i] == '-';
            ++i;
        }
        const int expStart = i;
        while (i < n && t[i] >= '0' && t[i] <= '9') {
            if (exponent < 10000)
                exponent = exponent * 10 + (t[i].unicode() - '0');
            ++i;
        }
        if (i == expStart)
            return std::nullopt;
        if (expNegative)
            exponent = -exponent;
    }
    if (i != n)
        return std::nullopt;

    // The value is digits * 10^(exponent - fraction); the count is that times
    // 10^4. shift > 0 appends zeros, shift < 0 drops digits (rounded).
    const int shift = exponent - fraction + 4;
    while (digits.size() > 1 && digits.front() == '0')
        digits.remove(0, 1);
    QString kept = digits;
    bool roundUp = false;
    if (shift >= 0) {
        if (digits != QLatin1String("0")) {
            if (shift > 19)
                return std::nullopt;
            kept += QString(shift, QLatin1Char('0'));
        }
    } else {
        const int drop = -shift;
        if (drop > kept.size()) {
            kept = QStringLiteral("0");
        } else {
            roundUp = kept.at(kept.size() - drop) >= '5';
            kept.chop(drop);
            if (kept.isEmpty())
                kept = QStringLiteral("0");
        }
    }
    if (kept.size() > 19)
        return std::nullopt;
    // The magnitude may reach 2^63 for a negative value, whose count has no
    // positive twin.
    const quint64 limit = negative ? quint64(kMax) + 1 : quint64(kMax);
    quint64 magnitude = 0;
    for (QChar c : kept) {
        const unsigned d = c.unicode() - '0';
        if (magnitude > (limit - d) / 10)
            return std::nullopt;
        magnitude = magnitude * 10 + d;
    }
    if (roundUp) {
        if (magnitude == limit)
            return std::nullopt;
        ++magnitude;
    }
    return Decimal4(negative ? qint64(quint64(0) - magnitude) : qint64(magnitude));
}

Decimal4 Decimal4::FromTextOrThrow(const QString& text)
{
    if (const auto value = FromText(text, DecimalSeparator()))
        return *value;
    throw Error(QStringLiteral("'%1' is not a valid floating point value").arg(text));
}

QString Decimal4::ToText(QChar sep) const
{
    // |count| as decimal digits; the minimum value has no positive twin, so
    // work on the unsigned magnitude.
    const bool negative = m_count < 0;
    const quint64 magnitude = negative ? quint64(0) - quint64(m_count) : quint64(m_count);
    const quint64 whole = magnitude / 10000;
    const quint64 frac = magnitude % 10000;
    QString fracText = QStringLiteral("%1").arg(frac, 4, 10, QLatin1Char('0'));
    while (fracText.endsWith('0'))
        fracText.chop(1);
    const QString wholeText = QString::number(whole);
    // Every digit is written, also past fifteen significant ones, so that the
    // text reads back as the same count.
    QString out = negative && magnitude ? QStringLiteral("-") : QString();
    out += wholeText;
    if (!fracText.isEmpty())
        out += sep + fracText;
    return out;
}

QString Decimal4::ToText() const
{
    return ToText(DecimalSeparator());
}
