#pragma once
// IndiProperty: one INDI property vector as the client last saw it (its
// definition, updated by the driver's later set messages). Values are kept
// as the trimmed text the driver sent; number(), isOn() read them.
#include <QList>
#include <QString>
#include <optional>

enum class IndiKind { Number, Switch, Text, Light, Blob };
enum class IndiState { Idle, Ok, Busy, Alert };

struct IndiElement {
    QString Name;
    QString Value;              // trimmed text; "On"/"Off" for switches
    std::optional<double> Min;  // numbers only, when the driver gave them
    std::optional<double> Max;
};

struct IndiProperty {
    QString Device;
    QString Name;
    IndiKind Kind = IndiKind::Text;
    IndiState State = IndiState::Idle;
    QString Perm;               // "ro", "wo", "rw" (empty when not given)
    QList<IndiElement> Elements;
    quint64 Serial = 0;         // the cache's update count when it last changed

    const IndiElement* element(const QString& name) const;
    IndiElement* element(const QString& name);
    // The element's value as a number; nullopt when missing or not a
    // decimal number (the camera and wheel properties are never sexagesimal).
    std::optional<double> number(const QString& name) const;
    bool isOn(const QString& name) const;

    static QString stateName(IndiState state);
    // Parses "Idle", "Ok", "Busy", "Alert"; nullopt for anything else.
    static std::optional<IndiState> parseState(const QString& text);
    // Parses a decimal number, blanks around it allowed.
    static std::optional<double> parseNumber(const QString& text);
};
