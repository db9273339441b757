#include "IndiProperty.h"

#include <QStringList>
#include <cmath>

const IndiElement* IndiProperty::element(const QString& name) const
{
    for (const IndiElement& e : Elements)
        if (e.Name == name)
            return &e;
    return nullptr;
}

IndiElement* IndiProperty::element(const QString& name)
{
    for (IndiElement& e : Elements)
        if (e.Name == name)
            return &e;
    return nullptr;
}

std::optional<double> IndiProperty::number(const QString& name) const
{
    const IndiElement* e = element(name);
    return e ? parseNumber(e->Value) : std::nullopt;
}

bool IndiProperty::isOn(const QString& name) const
{
    const IndiElement* e = element(name);
    return e && e->Value == QLatin1String("On");
}

QString IndiProperty::stateName(IndiState state)
{
    switch (state) {
    case IndiState::Idle: return QStringLiteral("Idle");
    case IndiState::Ok: return QStringLiteral("Ok");
    case IndiState::Busy: return QStringLiteral("Busy");
    case IndiState::Alert: return QStringLiteral("Alert");
    }
    return QString();
}

std::optional<IndiState> IndiProperty::parseState(const QString& text)
{
    for (IndiState s : {IndiState::Idle, IndiState::Ok, IndiState::Busy, IndiState::Alert})
        if (text.trimmed() == stateName(s))
            return s;
    return std::nullopt;
}

std::optional<double> IndiProperty::parseNumber(const QString& text)
{
    const QString t = text.trimmed();
    bool ok = false;
    const double plain = t.toDouble(&ok);
    if (ok)
        return std::isfinite(plain) ? std::optional<double>(plain) : std::nullopt;
    const QStringList parts = t.split(QLatin1Char(':'));
    if (parts.size() < 2 || parts.size() > 3)
        return std::nullopt;
    double value = 0.0, scale = 1.0;
    bool negative = false;
    for (int i = 0; i < parts.size(); ++i) {
        QString p = parts.at(i).trimmed();
        if (i == 0 && p.startsWith(QLatin1Char('-'))) {
            negative = true;
            p.remove(0, 1);
        }
        const double v = p.toDouble(&ok);
        if (!ok || v < 0)
            return std::nullopt;
        value += v / scale;
        scale *= 60.0;
    }
    return negative ? -value : value;
}
