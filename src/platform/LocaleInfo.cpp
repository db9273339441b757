#include "LocaleInfo.h"

#include <QLocale>
#include <optional>

namespace {
std::optional<QChar> g_decimal;
std::optional<QChar> g_dateSep;
std::optional<QString> g_dateFormat;

QString systemShortDate()
{
    return QLocale::system().dateFormat(QLocale::ShortFormat);
}
}

QChar DecimalSeparator()
{
    if (g_decimal)
        return *g_decimal;
    const QString sep = QLocale::system().decimalPoint();
    return sep.isEmpty() ? QChar('.') : sep.at(0);
}

QChar DateSeparator()
{
    if (g_dateSep)
        return *g_dateSep;
    // The first character of the short date format that is not a field letter.
    for (QChar c : ShortDateFormat())
        if (!c.isLetter())
            return c;
    return QChar('/');
}

QString ShortDateFormat()
{
    return g_dateFormat ? *g_dateFormat : systemShortDate();
}

void SetDecimalSeparator(QChar c) { g_decimal = c; }
void SetDateSeparator(QChar c) { g_dateSep = c; }
void SetShortDateFormat(const QString& format) { g_dateFormat = format; }
