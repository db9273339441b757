#pragma once
// Phd2Client: one connection to PHD2's event server (JSON-RPC 2.0 over TCP,
// one JSON object per line). It lives on the one thread of the program:
// the socket delivers its events there, and the read handler only parses
// lines and updates the state below; it never waits.
//
// What it keeps from PHD2's events, so that reading it costs no round trip:
// the application state ("AppState" and the events that change it) and the
// latest guide error (dx, dy of the latest "GuideStep"), which stops being
// current when the star is lost, guiding stops or pauses, the lock position
// is lost, or a set_lock_position request succeeds.
//
// Requests (Call) block their caller by running a local event loop until
// PHD2's reply with the request's id arrives, the connection ends or the
// reply time-out passes; nothing spins. Calling them from inside the
// client's own socket handlers (from a slot of statusChanged, say) is
// refused: the handler that would read the reply is the one waiting.
//
// Failures throw AutomationError with a message that begins with Where()
// ("PHD2 at localhost:4400") and ends with the reason: PHD2's own error
// message, "connection refused", "the connection was closed by PHD2", ...
//
// Owned through std::shared_ptr (Create): a blocking call keeps the client
// alive while its loop runs.
#include "guider/phd2/JsonLineReader.h"

#include <QAbstractSocket>
#include <QHash>
#include <QJsonValue>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

class QJsonObject;
class QTcpSocket;

class Phd2Client : public QObject, public std::enable_shared_from_this<Phd2Client> {
    Q_OBJECT
public:
    struct GuideError {
        bool current = false;   // false: no GuideStep since the last reset
        double dx = 0.0, dy = 0.0;
    };

    static std::shared_ptr<Phd2Client> Create(const QString& host, quint16 port, int connectTimeoutMs,
                                              int replyTimeoutMs);
    ~Phd2Client() override;

    QString Where() const;

    // Starts connecting when not connected or connecting; returns at once.
    void Open();
    // Connects when needed and waits until connected; throws on failure.
    void EnsureConnected();
    bool IsConnected() const { return m_phase == Phase::Connected; }
    // Why the last connection or connection attempt ended; empty if none did.
    QString LostReason() const { return m_lostReason; }

    // Sends `method` with `params` (omitted when undefined) and waits for
    // the result. `onSuccess` runs when the successful reply is handled, in
    // the order of the stream (events after the reply see its effect).
    QJsonValue Call(const QString& method, const QJsonValue& params = QJsonValue(QJsonValue::Undefined),
                    const std::function<void()>& onSuccess = {});

    // State known from events; empty before PHD2 reported one.
    QString AppState() const { return m_appState; }
    GuideError LatestGuideError() const { return m_error; }
    // No current guide error until the next "GuideStep".
    void ForgetGuideError() { m_error.current = false; }
    // Messages (events and replies) handled on the current connection.
    qint64 MessagesReceived() const { return m_messages; }
    // One line for the user: "PHD2: Guiding", "PHD2 at host:port: connection refused", ...
    QString StatusText() const;

signals:
    void statusChanged(const QString& text);
    // Something arrived or the connection changed (wakes blocked callers).
    void progressed();

private:
    enum class Phase { Idle, Connecting, Connected };
    struct Pending {
        bool done = false;
        QJsonValue result;
        QString error;
        std::function<void()> onSuccess;
    };

    Phd2Client(const QString& host, quint16 port, int connectTimeoutMs, int replyTimeoutMs);

    void onConnected();
    void onReadyRead();
    void onSocketError(QAbstractSocket::SocketError error);
    void onDisconnected();
    void onConnectTimeout();
    void connectionEnded(const QString& reason);
    void handleLine(const QByteArray& line);
    void handleEvent(const QJsonObject& event);
    void handleReply(const QJsonObject& reply);
    void setAppState(const QString& state);
    void publishStatus();
    // Runs a local event loop until `done` holds or `timeoutMs` passes.
    bool waitFor(const std::function<bool()>& done, int timeoutMs);
    [[noreturn]] void fail(const QString& reason) const;

    QString m_host;
    quint16 m_port;
    int m_connectTimeoutMs;
    int m_replyTimeoutMs;
    QTcpSocket* m_socket;
    QTimer m_connectTimer;
    JsonLineReader m_reader;
    Phase m_phase = Phase::Idle;
    QString m_lostReason;
    QString m_appState;
    GuideError m_error;
    qint64 m_messages = 0;
    qint64 m_nextId = 1;
    QHash<qint64, Pending> m_pending;
    bool m_handlingInput = false;
    QString m_status;
};
