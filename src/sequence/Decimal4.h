#pragma once
// Decimal4: a signed fixed-point decimal with four decimal places, held as a
// 64-bit count of ten-thousandths (the dithering amplitude and the guide-error
// threshold of a sequence). Text converts straight to the count, digit by
// digit, so "0.1" is exactly 1000 and never 999.99...; digits beyond the
// fourth decimal round to the nearest count, halves away from zero.
#include <QChar>
#include <QString>
#include <QtGlobal>
#include <optional>

class Decimal4 {
public:
    constexpr Decimal4() = default;
    static constexpr Decimal4 FromCount(qint64 count) { return Decimal4(count); }

    // Parses "[blanks][sign]digits[sep digits][e|E[sign]digits][blanks]" with
    // sep the given decimal separator (at least one digit before or after it).
    // Nothing when the text has any other form or the value does not fit.
    static std::optional<Decimal4> FromText(const QString& text, QChar decimalSeparator);
    // As above with the locale's decimal separator; throws
    // Error("'<text>' is not a valid floating point value") on failure.
    static Decimal4 FromTextOrThrow(const QString& text);

    constexpr qint64 Count() const { return m_count; }
    double ToDouble() const { return double(m_count) / 10000.0; }

    // General format: no trailing zeros and no separator for whole values
    // ("2.5", "1", "0.0001", "-3.25"). Exact: every count, the largest and
    // the smallest included, reads back through FromText as itself (values
    // past 15 significant digits keep all their digits rather than being
    // rounded to a text that would read back as another count, or not at all).
    QString ToText(QChar decimalSeparator) const;
    QString ToText() const;   // with the locale's decimal separator

    friend constexpr bool operator==(Decimal4 a, Decimal4 b) { return a.m_count == b.m_count; }

private:
    constexpr explicit Decimal4(qint64 count) : m_count(count) {}
    qint64 m_count = 0;
};
