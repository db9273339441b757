#include "IndiProperty.h"

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
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}
