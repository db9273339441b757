#pragma once
// Phd2Probe: the devices dialog's "Test" of PHD2. On a connection of its own
// (a running guider connection is left alone) it reads the events PHD2 sends
// to every new client, "Version" and "AppState", reports PHD2's version and
// state and whether it is guiding, and closes again. Nothing waits: Start()
// returns at once and finished() follows from the event loop, at the latest
// after the connection time-out plus the reply time-out.
#include "guider/phd2/JsonLineReader.h"

#include <QObject>
#include <QTimer>

class QTcpSocket;

class Phd2Probe : public QObject {
    Q_OBJECT
public:
    explicit Phd2Probe(QObject* parent = nullptr);
    ~Phd2Probe() override;

    void Start(const QString& host, quint16 port, int connectTimeoutMs, int replyTimeoutMs);

signals:
    void finished(bool ok, const QString& report);

private:
    void onReadyRead();
    void conclude(bool ok, const QString& report);
    QString where() const;

    QTcpSocket* m_socket;
    QTimer m_deadline;
    JsonLineReader m_reader;
    QString m_host;
    quint16 m_port = 0;
    int m_replyTimeoutMs = 0;
    QString m_version;
    bool m_done = true;
};
