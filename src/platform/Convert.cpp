#include "platform/Convert.h"

#include "platform/Error.h"

#include <limits>

std::optional<int> TryStrToInt(const QString& text)
{
    QString t = text.trimmed();
    bool negative = false;
    if (t.startsWith('+') || t.startsWith('-')) {
        negative = t.startsWith('-');
        t.remove(0, 1);
    }
    int base = 10;
    if (t.startsWith('$')) {
        base = 16;
        t.remove(0, 1);
    } else if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        base = 16;
        t.remove(0, 2);
    }
    bool ok = !t.isEmpty() && !t.startsWith('+') && !t.startsWith('-') && !t.contains(' ');
    const qlonglong magnitude = ok ? t.toLongLong(&ok, base) : 0;
    const qlonglong value = negative ? -magnitude : magnitude;
    if (!ok || value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(value);
}

int StrToInt(const QString& text)
{
    if (const auto value = TryStrToInt(text))
        return *value;
    throw Error(QStringLiteral("'%1' is not a valid integer value").arg(text));
}
