// TryStrToInt against the rules its header states, checked by an independent
// pattern: blanks around, one sign, "$" or "0x"/"0X" for hexadecimal, digits
// of that base only, and a value that fits 32 bits.
#include "FuzzCheck.h"
#include "platform/Convert.h"

#include <QRegularExpression>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size));
    static const QRegularExpression rule(
        QStringLiteral("^([+-]?)(?:(\\$|0[xX])([0-9a-fA-F]+)|([0-9]+))$"));
    const QRegularExpressionMatch m = rule.match(text.trimmed());
    std::optional<int> expected;
    if (m.hasMatch()) {
        const bool hex = !m.captured(2).isEmpty();
        bool ok = false;
        QString digits = hex ? m.captured(3) : m.captured(4);
        while (digits.size() > 1 && digits.front() == '0')
            digits.remove(0, 1);
        const qulonglong magnitude = digits.size() <= 16 ? digits.toULongLong(&ok, hex ? 16 : 10) : 0;
        const qint64 value = m.captured(1) == "-" ? -qint64(magnitude) : qint64(magnitude);
        if (ok && magnitude <= 0x100000000ull && value >= INT32_MIN && value <= INT32_MAX)
            expected = int(value);
    }
    const std::optional<int> got = TryStrToInt(text);
    FUZZ_CHECK(got == expected, "[%s]: got %s%d, expected %s%d", qPrintable(text), got ? "" : "none ",
               got.value_or(0), expected ? "" : "none ", expected.value_or(0));
    return 0;
}
