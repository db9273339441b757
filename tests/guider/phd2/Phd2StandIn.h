#pragma once
// Phd2StandIn: a small PHD2 for the tests, speaking PHD2's event-server
// protocol as its EventMonitoring documentation describes it, on 127.0.0.1:
//  - every message is one JSON object on one line ending in CR LF; events
//    carry "Event", "Timestamp", "Host" and "Inst"; a new client first gets
//    "Version" and then "AppState";
//  - requests are JSON-RPC 2.0 objects, one a line (about 1 KB at most);
//    replies echo the request's "id" with "result" or "error" {code,
//    message}; a request without "id" gets no reply; an unknown method gets
//    error -32601, a line that is not JSON -32700, bad params -32602;
//  - methods: get_app_state, get_lock_position ([x, y] or null),
//    set_lock_position (x, y, exact; by position or by name; then a
//    "LockPositionSet" event).
// The guided star: while guiding, each guide frame pulls the star a fixed
// share of the way to the lock position and reports "GuideStep" with its
// "Frame" number and dx, dy (star minus lock, pixels); moving the lock makes
// the error jump by the move and then decay. As in PHD2, a frame is measured
// against the lock position of its time and its GuideStep goes out only when
// its guide pulse has ended (SetPulseMs), so a set_lock_position answered
// during the pulse is followed by a step measured against the old lock.
// LoseStar() turns the frames into "StarLost" (PHD2 then says "LostLock" and
// keeps its lock position). While looping, every frame sends
// "LoopingExposures"; SelectStar() sends "StarSelected" (state "Selected",
// looping goes on), PauseGuiding()/ResumeGuiding() "Paused"/"Resumed".
// Frames come from AdvanceTo() (virtual time, one frame every FrameMs) or
// from a real timer (StartFrames). Output can be cut into small pieces sent
// one by one (SetChunkBytes) or held and sent in one write (HoldOutput).
// Hostile: Flood() writes megabytes of well-formed events as fast as the
// socket takes them.
#include <QByteArray>
#include <QHostAddress>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <optional>

class QTcpServer;
class QTcpSocket;

class Phd2StandIn : public QObject {
    Q_OBJECT
public:
    struct Request {
        QString method;
        QJsonValue params;
        bool hasId = false;
    };
    struct Step {
        qint64 timeMs;   // when the GuideStep went out
        int frame;
        double dx, dy;
    };

    explicit Phd2StandIn(QObject* parent = nullptr);
    ~Phd2StandIn() override;

    bool Listen(quint16 port = 0);
    quint16 Port() const;
    // Stops listening and drops every client (PHD2 closed).
    void Close();
    // Drops every client but keeps listening.
    void DropClients();

    // Guide model. State is one of PHD2's: Stopped, Selected, Calibrating,
    // Guiding, LostLock, Paused, Looping.
    void SetState(const QString& state) { m_state = state; }
    QString State() const { return m_state; }
    void SetLock(std::optional<QPointF> lock) { m_lock = lock; }
    std::optional<QPointF> Lock() const { return m_lock; }
    void SetStar(QPointF star) { m_star = star; }
    QPointF Star() const { return m_star; }
    void SetGain(double gain) { m_gain = gain; }   // share of the error corrected per frame
    void SetFrameMs(int ms) { m_frameMs = ms; }
    // The guide pulse after each measurement; its GuideStep follows it.
    void SetPulseMs(int ms) { m_pulseMs = ms; }
    int FrameMs() const { return m_frameMs; }

    void LoseStar();
    void RecoverStar();
    void StopGuiding();
    void PauseGuiding();
    void ResumeGuiding();
    void ClearLock();
    void StartLooping();
    void SelectStar();

    // Next reply to `method` is an error with `code` and `message`.
    void FailNext(const QString& method, int code, const QString& message);
    // false: requests are read and recorded but never answered.
    void SetAnswering(bool answering) { m_answering = answering; }

    // One guide frame now; frames up to virtual time `ms`.
    void Frame();
    void AdvanceTo(qint64 ms);
    qint64 Now() const { return m_now; }
    void StartFrames(int intervalMs);
    void StopFrames() { m_frameTimer.stop(); }

    void SetChunkBytes(int bytes) { m_chunkBytes = bytes; }
    void HoldOutput(bool hold);

    // Sends any line as it is (for tests of odd input).
    void SendRaw(const QByteArray& bytes);
    // Writes about `bytes` of GuideStep and LoopingExposures events to the
    // newest client, as fast as it reads them.
    void Flood(qint64 bytes);
    qint64 FloodLeft() const { return m_floodLeft; }

    const QList<Request>& Requests() const { return m_requests; }
    QList<QPointF> LockPositionsReceived() const;
    const QList<Step>& Steps() const { return m_steps; }
    // Messages (events and replies) sent to the newest client.
    qint64 MessagesSent() const { return m_messagesSent; }

private:
    struct Client {
        QTcpSocket* socket;
        QByteArray input;
    };

    void onNewConnection();
    void onReadyRead(QTcpSocket* socket);
    void handleLine(QTcpSocket* socket, const QByteArray& line);
    QJsonValue run(const QString& method, const QJsonValue& params, int* code, QString* message);
    void reply(QTcpSocket* socket, const QJsonValue& id, const QJsonValue& result, int code, const QString& message);
    void event(const QString& name, QJsonObject attributes);
    void send(QTcpSocket* socket, const QJsonObject& message);
    void write(QTcpSocket* socket, const QByteArray& bytes);
    void drain();
    void pumpFlood();
    // Sends the queued steps whose pulse has ended by `ms`.
    void sendDueSteps(qint64 ms);

    QTcpServer* m_server;
    QList<Client> m_clients;
    QString m_state = QStringLiteral("Guiding");
    std::optional<QPointF> m_lock = QPointF(320.0, 240.0);
    QPointF m_star {320.0, 240.0};
    double m_gain = 0.5;
    int m_frameMs = 1000;
    int m_pulseMs = 0;
    QString m_stateBeforePause;
    QList<QPair<qint64, QJsonObject>> m_pulses;   // GuideSteps waiting for their pulse to end
    bool m_starLost = false;
    qint64 m_now = 0;
    qint64 m_nextFrame = 0;
    int m_frame = 0;
    QTimer m_frameTimer;
    QString m_failMethod;
    int m_failCode = 0;
    QString m_failMessage;
    bool m_answering = true;
    int m_chunkBytes = 0;
    bool m_hold = false;
    QList<QPair<QPointer<QTcpSocket>, QByteArray>> m_queue;   // pieces not yet written
    QTimer m_drainTimer;
    QList<Request> m_requests;
    QList<Step> m_steps;
    qint64 m_messagesSent = 0;
    qint64 m_floodLeft = 0, m_floodIndex = 0;
};
