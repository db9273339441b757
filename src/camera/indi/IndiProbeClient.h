#pragma once
// IndiProbeClient: a short-lived connection to an INDI server for the
// devices dialog (listing devices, testing a camera). Unlike IndiClient it
// never waits: connecting, reading and the time-outs all run from the event
// loop, and the owner learns of progress through signals, so a server that
// does not answer, answers slowly or floods the stream never holds the UI
// thread. Each read pass takes a bounded slice of the socket's buffer and
// the cache stops taking new devices at MaxDevices.
//
// Failures end the connection and emit ended() once, with a reason in plain
// words that names the host and the port.
#include "camera/indi/IndiPropertyCache.h"
#include "camera/indi/IndiStreamParser.h"

#include <QObject>
#include <QPair>
#include <QSet>
#include <QTimer>

class QTcpSocket;

class IndiProbeClient : public QObject {
    Q_OBJECT
public:
    // Devices kept at most; definitions for further devices are dropped.
    static constexpr int MaxDevices = 500;

    IndiProbeClient(const QString& host, int port, QObject* parent = nullptr);
    ~IndiProbeClient() override;

    // Starts connecting; connected() or ended() follows. Asks for every
    // property (or only `device`'s) once connected.
    void Start(int connectTimeoutMs, const QString& device = QString());
    // Closes the connection without emitting ended().
    void Stop();

    bool IsConnected() const;
    QString Where() const;   // "host:port"
    const IndiPropertyCache& Cache() const { return m_cache; }
    int DeviceCount() const { return m_devices.size(); }
    // Whether definitions of further devices were dropped at MaxDevices.
    bool Overflowed() const { return m_overflow; }

    // Sends new values to a property; nothing when not connected.
    void SendNew(IndiKind kind, const QString& device, const QString& name,
                 const QList<QPair<QString, QString>>& values);
    void AskProperties(const QString& device);

signals:
    void connected();
    // Something arrived.
    void changed();
    void ended(const QString& reason);

private:
    void onReadyRead();
    void onEvent(IndiEvent&& event);
    void end(const QString& reason);

    QString m_host;
    int m_port;
    QString m_device;
    QTcpSocket* m_socket;
    QTimer m_connectTimer;
    IndiStreamParser m_parser;
    IndiPropertyCache m_cache;
    QSet<QString> m_devices;
    bool m_overflow = false;
    bool m_ended = false;
    bool m_continuationQueued = false;
};
