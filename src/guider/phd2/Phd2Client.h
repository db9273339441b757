#pragma once
// Phd2Client: one connection to PHD2's event server (JSON-RPC 2.0 over TCP,
// one JSON object per line). It lives on the one thread of the program:
// the socket delivers its events there, and the read handler only parses
// lines and updates the state below; it never waits.
//
// What it keeps from PHD2's events, so that reading it costs no round trip:
// the application state ("AppState" and the events that change it; after
// "StarSelected", "Resumed" and "LockPositionLost" it also asks PHD2 for its
// state, without waiting for the answer) and the latest guide error (dx, dy
// of the latest "GuideStep"), which stops being current when the star is
// lost, guiding stops or pauses, the lock position is lost, or a
// set_lock_position request succeeds. After such a request only a GuideStep
// of a frame that began after the reply counts: PHD2 sends a frame's
// GuideStep when its guide pulse has ended, so the first frame reported after
// the reply may have been measured against the old lock position. That frame
// (the first one numbered after the reply) is passed over.
//
// Bounds: the socket holds at most ReadBufferBytes unread, and one pass of
// the read handler takes a slice of it (about 10 ms of work) and goes on in
// the next event-loop pass, so a flood of events neither grows memory nor
// holds the UI thread.
//
// Requests (Call) block their caller by running a local event loop until
// PHD2's reply with the request's id arrives, the connection ends, the
// reply time-out passes or a stop is asked for (StopRequest, seen within a
// poll; StopRequestedError then); nothing spins. Calling them from inside the
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
    static constexpr qint64 ReadBufferBytes = 1024 * 1024;

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
    // No current guide error until a GuideStep of a frame that began after
    // now: the next frame reported is passed over (see above).
    void ForgetGuideError();
    // Times guiding was interrupted (star lost, guiding stopped or paused,
    // lock position lost, connection lost while guiding); only grows.
    quint64 Interruptions() const { return m_interruptions; }
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
        std::function<void(const QJsonValue&)> onResult;   // no caller waits: handled on arrival
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
    // Asks PHD2 for its state; the answer sets it when it comes.
    void refreshAppState();
    void interrupted();
    void publishStatus();
    // Runs a local event loop until `done` holds or `timeoutMs` passes;
    // StopRequestedError("Stopped while <what>") when a stop is asked for.
    bool waitFor(const std::function<bool()>& done, int timeoutMs, const QString& what);
    // False for a frame event that may have begun before the last lock change.
    bool freshFrame(const QJsonObject& event);
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
    bool m_continuationQueued = false;
    quint64 m_interruptions = 0;
    bool m_interruptionOpen = false;   // counted, and guiding not back yet
    QString m_stateBeforePause;
    // After a lock position change: frames numbered up to m_staleFrame were
    // begun before it (-1: the next frame reported decides).
    bool m_awaitingFreshFrame = false;
    qint64 m_staleFrame = -1;
};
