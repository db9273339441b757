#include "controls/TMyEditRules.h"

#include "controls/TStringCaps.h"
#include "platform/LocaleInfo.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>

#include <optional>

namespace {

bool isAsciiDigit(QChar c) { return c >= u'0' && c <= u'9'; }

std::optional<double> numberBound(const QVariant& bound)
{
    if (!TMyEditRules::BoundSet(bound))
        return std::nullopt;
    bool ok = false;
    double value = 0;
    if (bound.typeId() == QMetaType::QString) {
        // A bound given as text reads in the locale's form, or in C form.
        ok = TMyEditRules::ParseDecimal(bound.toString(), value);
        if (!ok)
            value = QLocale::c().toDouble(bound.toString().trimmed(), &ok);
    } else {
        value = bound.toDouble(&ok);
    }
    if (!ok)
        return std::nullopt;
    return value;
}

std::optional<QDate> dateBound(const QVariant& bound)
{
    if (!TMyEditRules::BoundSet(bound))
        return std::nullopt;
    QDate date;
    switch (bound.typeId()) {
    case QMetaType::QDate: date = bound.toDate(); break;
    case QMetaType::QDateTime: date = bound.toDateTime().date(); break;
    default: date = TMyEditRules::ParseDate(bound.toString()); break;
    }
    if (!date.isValid())
        return std::nullopt;
    return date;
}

} // namespace

bool TMyEditRules::IsControlKey(QChar c)
{
    return c == QChar(8) || c == QChar(27) || c == QChar(9) || c == QChar(13);
}

TKeyDecision TMyEditRules::KeyPress(CharFilterType filter, DateAgeType age, QChar c,
                                    const QString& text, int selStart, int selEnd,
                                    const TStringCaps& caps)
{
    TKeyDecision d;
    switch (filter) {
    case chNumber:
        if (!isAsciiDigit(c) && !IsControlKey(c))
            d.action = TKeyDecision::Discard;
        break;
    case chDecimal:
        if (!isAsciiDigit(c) && !IsControlKey(c) && c != DecimalSeparator())
            d.action = TKeyDecision::Discard;
        break;
    case chDate: {
        QString buffer = text;
        int s = selStart;
        int e = selEnd;
        const QChar result = caps.CharDateProcess(c, buffer, s, e, age);
        if (result == QChar(TStringCaps::DateRewritten)) {
            d.action = TKeyDecision::Replace;
            d.text = buffer;
            d.selStart = s;
            d.selLength = e - s;
        } else if (result != c) {
            d.action = TKeyDecision::Discard;
        }
        break;
    }
    default:
        break;
    }
    return d;
}

bool TMyEditRules::BoundSet(const QVariant& bound)
{
    return bound.isValid() && !bound.toString().isEmpty();
}

bool TMyEditRules::ParseDecimal(const QString& text, double& value)
{
    const QChar sep = DecimalSeparator();
    const QString t = text.trimmed();
    if (t.isEmpty() || (sep != u'.' && t.contains(u'.')))
        return false;
    QString c = t;
    c.replace(sep, u'.');
    bool ok = false;
    value = QLocale::c().toDouble(c, &ok);
    return ok;
}

QDate TMyEditRules::ParseDate(const QString& text)
{
    QString format = ShortDateFormat();
    // One letter reads one or two digits, so 1/5/2008 and 01/05/2008 both read.
    format.replace(QLatin1String("dd"), QLatin1String("d"));
    format.replace(QLatin1String("MM"), QLatin1String("M"));
    const QString t = text.trimmed();
    QDate date = QDate::fromString(t, format);
    if (!date.isValid() && format.contains(QLatin1String("yyyy")))
        date = QDate::fromString(t, QString(format).replace(QLatin1String("yyyy"), QLatin1String("yy")));
    else if (!date.isValid() && format.contains(QLatin1String("yy")))
        date = QDate::fromString(t, QString(format).replace(QLatin1String("yy"), QLatin1String("yyyy")));
    return date;
}

bool TMyEditRules::ValidData(CharFilterType filter, const QString& text,
                             const QVariant& minValue, const QVariant& maxValue)
{
    if (text.isEmpty())
        return true;
    if (!BoundSet(minValue) && !BoundSet(maxValue))
        return true;

    if (filter == chDate) {
        const QDate date = ParseDate(text);
        if (!date.isValid())
            return false;
        const auto lo = dateBound(minValue);
        const auto hi = dateBound(maxValue);
        return !(lo && date < *lo) && !(hi && date > *hi);
    }

    if (filter == chNumber || filter == chDecimal) {
        double value = 0;
        bool ok = false;
        if (filter == chNumber)
            value = double(text.trimmed().toLongLong(&ok));
        else
            ok = ParseDecimal(text, value);
        if (!ok)
            return false;
        const auto lo = numberBound(minValue);
        const auto hi = numberBound(maxValue);
        return !(lo && value < *lo) && !(hi && value > *hi);
    }
    return true;
}
