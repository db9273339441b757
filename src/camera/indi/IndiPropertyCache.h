#pragma once
// IndiPropertyCache: the client's picture of every device's properties, kept
// up to date from the server's messages. A later definition of a property
// replaces the earlier one; a set updates the elements it names (values and,
// when given, limits) and the state; a set for an unknown property is
// ignored. Messages (the <message> element and the message attribute of the
// others) are remembered per device with a running count, so a caller can ask
// for "the driver's last word since I sent my request".
//
// Bounded: at most MaxProperties properties and messages of at most
// MaxMessageDevices devices; apply() refuses a definition past the first
// bound (a server that defines without end is broken or hostile).
#include "camera/indi/IndiEvent.h"

#include <QHash>
#include <QStringList>

class IndiPropertyCache {
public:
    static constexpr qsizetype MaxProperties = 20000;
    static constexpr qsizetype MaxMessageDevices = 1000;
    static constexpr qsizetype MaxMessageChars = 4096;

    // False when the event would take the cache past MaxProperties; nothing
    // changes then.
    bool apply(const IndiEvent& event);

    const IndiProperty* find(const QString& device, const QString& name) const;
    IndiProperty* find(const QString& device, const QString& name);
    bool hasDevice(const QString& device) const;
    QStringList devices() const;

    // Marks a property Busy (a request was sent to it).
    void markBusy(const QString& device, const QString& name);

    // Count of changes so far (properties and messages).
    quint64 serial() const { return m_serial; }
    // The device's newest message that came after `since`; empty when none.
    QString messageSince(const QString& device, quint64 since) const;

private:
    struct Message {
        quint64 Serial = 0;
        QString Text;
    };
    static QString key(const QString& device, const QString& name) { return device + QChar(0) + name; }
    void note(const QString& device, const QString& text);

    QHash<QString, IndiProperty> m_props;
    QHash<QString, Message> m_messages;   // by device
    quint64 m_serial = 0;
};
