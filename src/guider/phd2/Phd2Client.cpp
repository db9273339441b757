#include "Phd2Client.h"

#include "camera/AutomationError.h"
#include "camera/StopRequest.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>

namespace {
// Marks the time spent inside a socket handler, signals it emits included:
// a request made there would wait for input the handler itself must read.
class HandlerScope {
public:
    explicit HandlerScope(bool& flag) : m_flag(flag), m_was(flag) { m_flag = true; }
    ~HandlerScope() { m_flag = m_was; }
    HandlerScope(const HandlerScope&) = delete;
    HandlerScope& operator=(const HandlerScope&) = delete;

private:
    bool& m_flag;
    bool m_was;
};

// PHD2 reads requests of about 1 KB at most; ours are far shorter, and a
// longer one is refused here rather than cut by the server.
constexpr qsizetype kMaxRequestBytes = 1000;
// One pass of the read handler takes at most this much from the socket and
// stops after kPassBudgetMs; the rest waits for the next event-loop pass.
constexpr qint64 kSliceBytes = 64 * 1024;
constexpr qint64 kPassBudgetMs = 10;

QString seconds(int ms)
{
    return QString::number(ms / 1000.0, 'g', 4);
}

QString reasonFor(QAbstractSocket::SocketError error, const QString& text)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError: return QStringLiteral("connection refused");
    case QAbstractSocket::RemoteHostClosedError: return QStringLiteral("the connection was closed by PHD2");
    case QAbstractSocket::HostNotFoundError: return QStringLiteral("host not found");
    case QAbstractSocket::NetworkError: return QStringLiteral("network unreachable");
    default: return text.isEmpty() ? QStringLiteral("connection failed") : text;
    }
}
}

std::shared_ptr<Phd2Client> Phd2Client::Create(const QString& host, quint16 port, int connectTimeoutMs,
                                               int replyTimeoutMs)
{
    return std::shared_ptr<Phd2Client>(new Phd2Client(host, port, connectTimeoutMs, replyTimeoutMs));
}

Phd2Client::Phd2Client(const QString& host, quint16 port, int connectTimeoutMs, int replyTimeoutMs)
    : m_host(host), m_port(port), m_connectTimeoutMs(connectTimeoutMs), m_replyTimeoutMs(replyTimeoutMs),
      m_socket(new QTcpSocket(this))
{
    m_connectTimer.setSingleShot(true);
    m_connectTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_connectTimer, &QTimer::timeout, this, &Phd2Client::onConnectTimeout);
    connect(m_socket, &QTcpSocket::connected, this, &Phd2Client::onConnected);
    connect(m_socket, &QTcpSocket::readyRead, this, &Phd2Client::onReadyRead);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &Phd2Client::onSocketError);
    connect(m_socket, &QTcpSocket::disconnected, this, &Phd2Client::onDisconnected);
    m_socket->setReadBufferSize(ReadBufferBytes);
    m_status = StatusText();
}

Phd2Client::~Phd2Client()
{
    m_socket->disconnect(this);
    m_socket->abort();
}

QString Phd2Client::Where() const
{
    return QStringLiteral("PHD2 at %1:%2").arg(m_host).arg(m_port);
}

void Phd2Client::Open()
{
    if (m_phase != Phase::Idle)
        return;
    m_phase = Phase::Connecting;
    m_lostReason.clear();
    m_socket->abort();
    m_socket->connectToHost(m_host, m_port);
    m_connectTimer.start(m_connectTimeoutMs);
    publishStatus();
}

void Phd2Client::EnsureConnected()
{
    if (m_handlingInput)
        fail(QStringLiteral("a request was made while PHD2's messages were being read"));
    Open();
    // The attempt ends by itself (connected, refused, or m_connectTimer);
    // the margin only guards against a socket that never reports.
    waitFor([this] { return m_phase != Phase::Connecting; }, m_connectTimeoutMs + 1000,
            QStringLiteral("connecting to ") + Where());
    if (m_phase == Phase::Connecting) {
        m_socket->abort();
        connectionEnded(QStringLiteral("no answer within %1 s").arg(seconds(m_connectTimeoutMs)));
    }
    if (m_phase != Phase::Connected)
        fail(m_lostReason);
}

QJsonValue Phd2Client::Call(const QString& method, const QJsonValue& params,
                            const std::function<void()>& onSuccess)
{
    EnsureConnected();
    const qint64 id = m_nextId++;
    QJsonObject request{{"method", method}, {"id", id}};
    if (!params.isUndefined())
        request.insert(QStringLiteral("params"), params);
    QByteArray line = QJsonDocument(request).toJson(QJsonDocument::Compact);
    if (line.size() > kMaxRequestBytes)
        fail(QStringLiteral("request %1 is too long for PHD2").arg(method));
    line.append("\r\n");
    Pending pending;
    pending.onSuccess = onSuccess;
    m_pending.insert(id, pending);
    m_socket->write(line);

    const auto finished = [this, id] {
        const auto it = m_pending.constFind(id);
        return it == m_pending.cend() || it->done || m_phase != Phase::Connected;
    };
    try {
        waitFor(finished, m_replyTimeoutMs, QStringLiteral("waiting for %1's answer to %2").arg(Where(), method));
    } catch (const StopRequestedError&) {
        m_pending.remove(id);   // a late answer is then ignored
        throw;
    }
    const Pending result = m_pending.take(id);
    if (result.done) {
        if (!result.error.isEmpty())
            fail(result.error);
        return result.result;
    }
    if (m_phase != Phase::Connected)
        fail(m_lostReason);
    fail(QStringLiteral("no answer to %1 within %2 s").arg(method, seconds(m_replyTimeoutMs)));
}

QString Phd2Client::StatusText() const
{
    switch (m_phase) {
    case Phase::Connected:
        return m_appState.isEmpty() ? QStringLiteral("PHD2: connected") : QStringLiteral("PHD2: ") + m_appState;
    case Phase::Connecting:
        return QStringLiteral("Connecting to %1").arg(Where());
    case Phase::Idle:
        break;
    }
    return m_lostReason.isEmpty() ? QStringLiteral("PHD2: not connected") : Where() + QStringLiteral(": ") + m_lostReason;
}

void Phd2Client::onConnected()
{
    const HandlerScope scope(m_handlingInput);
    m_connectTimer.stop();
    m_phase = Phase::Connected;
    m_lostReason.clear();
    m_reader.Clear();
    m_appState.clear();
    m_error = {};
    m_messages = 0;
    publishStatus();
    emit progressed();
}

void Phd2Client::onReadyRead()
{
    m_continuationQueued = false;
    const HandlerScope scope(m_handlingInput);
    QElapsedTimer pass;
    pass.start();
    bool overflow = false;
    while (m_phase == Phase::Connected && m_socket->bytesAvailable() > 0 && !overflow) {
        const QList<QByteArray> lines = m_reader.Append(m_socket->read(kSliceBytes), &overflow);
        for (const QByteArray& line : lines) {
            handleLine(line);
            if (m_phase != Phase::Connected)
                break;
        }
        if (pass.elapsed() >= kPassBudgetMs)
            break;
    }
    if (overflow && m_phase == Phase::Connected) {
        m_socket->abort();
        connectionEnded(QStringLiteral("PHD2 sent a message too long to be one of its own"));
    }
    publishStatus();
    emit progressed();
    // Data left in the buffer raises no new readyRead: come back next pass.
    if (m_phase == Phase::Connected && m_socket->bytesAvailable() > 0 && !m_continuationQueued) {
        m_continuationQueued = true;
        QTimer::singleShot(0, this, &Phd2Client::onReadyRead);
    }
}

void Phd2Client::onSocketError(QAbstractSocket::SocketError error)
{
    // Qt reports the error first and then, for a connection that was up,
    // disconnected(); the first reason given is the one kept.
    if (m_phase == Phase::Idle)
        return;
    const HandlerScope scope(m_handlingInput);
    const QString reason = reasonFor(error, m_socket->errorString());
    if (m_socket->state() == QAbstractSocket::UnconnectedState || m_phase == Phase::Connecting)
        connectionEnded(reason);
    else if (m_lostReason.isEmpty())
        m_lostReason = reason;
}

void Phd2Client::onDisconnected()
{
    if (m_phase == Phase::Idle)
        return;
    const HandlerScope scope(m_handlingInput);
    connectionEnded(m_lostReason.isEmpty() ? QStringLiteral("the connection was closed by PHD2") : m_lostReason);
}

void Phd2Client::onConnectTimeout()
{
    if (m_phase != Phase::Connecting)
        return;
    const HandlerScope scope(m_handlingInput);
    m_socket->abort();
    connectionEnded(QStringLiteral("no answer within %1 s").arg(seconds(m_connectTimeoutMs)));
}

void Phd2Client::connectionEnded(const QString& reason)
{
    if (m_appState == QLatin1String("Guiding"))
        interrupted();
    m_appState.clear();
    // Answers nobody waits for will not come now.
    for (auto it = m_pending.begin(); it != m_pending.end();)
        it = it->onResult ? m_pending.erase(it) : std::next(it);
    m_connectTimer.stop();
    m_phase = Phase::Idle;
    m_lostReason = reason;
    m_error = {};
    m_reader.Clear();
    publishStatus();
    emit progressed();
}

void Phd2Client::handleLine(const QByteArray& line)
{
    const QJsonDocument doc = QJsonDocument::fromJson(line);
    // Anything but an object is not a message of the protocol: ignored.
    if (!doc.isObject())
        return;
    const QJsonObject message = doc.object();
    ++m_messages;
    if (message.contains(QLatin1String("Event")))
        handleEvent(message);
    else if (message.contains(QLatin1String("id")))
        handleReply(message);
}

void Phd2Client::ForgetGuideError()
{
    m_error.current = false;
    m_awaitingFreshFrame = true;
    m_staleFrame = -1;
}

bool Phd2Client::freshFrame(const QJsonObject& event)
{
    const QJsonValue number = event.value(QLatin1String("Frame"));
    if (!m_awaitingFreshFrame || !number.isDouble())
        return true;
    const qint64 frame = number.toInteger();
    if (m_staleFrame < 0) {
        m_staleFrame = frame;   // the first frame reported after the change
        return false;
    }
    if (frame == m_staleFrame)
        return false;
    m_awaitingFreshFrame = false;   // a later frame, or numbering begun anew
    return true;
}

void Phd2Client::interrupted()
{
    // One interruption until guiding is back, however many events tell of it.
    if (m_interruptionOpen)
        return;
    m_interruptionOpen = true;
    ++m_interruptions;
}

void Phd2Client::handleEvent(const QJsonObject& event)
{
    const QString name = event.value(QLatin1String("Event")).toString();
    if (name == QLatin1String("GuideStep")) {
        setAppState(QStringLiteral("Guiding"));
        const QJsonValue dx = event.value(QLatin1String("dx")), dy = event.value(QLatin1String("dy"));
        if (freshFrame(event) && dx.isDouble() && dy.isDouble())
            m_error = {true, dx.toDouble(), dy.toDouble()};
        return;
    }
    if (name == QLatin1String("AppState")) {
        setAppState(event.value(QLatin1String("State")).toString());
        if (m_appState != QLatin1String("Guiding"))
            m_error.current = false;
        return;
    }
    if (name == QLatin1String("StarLost"))
        freshFrame(event);   // a frame reported after a lock change counts as the stale one
    if (name == QLatin1String("StartGuiding"))
        m_awaitingFreshFrame = false;   // every frame from here began after the change
    if (name == QLatin1String("Paused") && m_appState != QLatin1String("Paused"))
        m_stateBeforePause = m_appState;
    if (name == QLatin1String("StarSelected")) {
        // Looping with a star chosen; while guiding a selection changes nothing.
        if (m_appState.isEmpty() || m_appState == QLatin1String("Looping") || m_appState == QLatin1String("Stopped"))
            setAppState(QStringLiteral("Selected"));
        refreshAppState();
        return;
    }
    if (name == QLatin1String("Resumed")) {
        setAppState(m_stateBeforePause.isEmpty() || m_stateBeforePause == QLatin1String("Paused")
                        ? QStringLiteral("Guiding") : m_stateBeforePause);
        refreshAppState();
        return;
    }
    if (name == QLatin1String("LoopingExposures")) {
        // Sent for every looping frame, also while a star is selected.
        if (m_appState != QLatin1String("Selected"))
            setAppState(QStringLiteral("Looping"));
        m_error.current = false;
        return;
    }
    // Events after which there is no current guide error, with the state
    // they leave PHD2 in (empty: the state does not change).
    static const QHash<QString, QString> noCurrentError{
        {QStringLiteral("StarLost"), QStringLiteral("LostLock")},
        {QStringLiteral("GuidingStopped"), QStringLiteral("Stopped")},
        {QStringLiteral("Paused"), QStringLiteral("Paused")},
        {QStringLiteral("StartCalibration"), QStringLiteral("Calibrating")},
        {QStringLiteral("LoopingExposuresStopped"), QStringLiteral("Stopped")},
        {QStringLiteral("StartGuiding"), QStringLiteral("Guiding")},
        {QStringLiteral("LockPositionLost"), QString()},
    };
    const auto it = noCurrentError.constFind(name);
    if (it == noCurrentError.cend())
        return;
    m_error.current = false;
    if (!it->isEmpty())
        setAppState(*it);
    if (name == QLatin1String("LockPositionLost")) {
        if (m_appState == QLatin1String("Guiding"))
            interrupted();
        refreshAppState();
    }
}

void Phd2Client::refreshAppState()
{
    if (m_phase != Phase::Connected)
        return;
    const qint64 id = m_nextId++;
    Pending pending;
    pending.onResult = [this](const QJsonValue& state) {
        if (state.isString())
            setAppState(state.toString());
    };
    m_pending.insert(id, pending);
    m_socket->write(QJsonDocument(QJsonObject{{"method", "get_app_state"}, {"id", id}}).toJson(QJsonDocument::Compact)
                    + "\r\n");
}

void Phd2Client::handleReply(const QJsonObject& reply)
{
    const QJsonValue idValue = reply.value(QLatin1String("id"));
    if (!idValue.isDouble())
        return;
    const auto it = m_pending.find(idValue.toInteger());
    if (it == m_pending.end() || it->done)
        return;   // an answer that came after its request gave up
    it->done = true;
    const QJsonValue error = reply.value(QLatin1String("error"));
    if (!error.isUndefined() && !error.isNull()) {
        const QJsonObject e = error.toObject();
        QString message = e.value(QLatin1String("message")).toString();
        if (message.isEmpty())
            message = QStringLiteral("error %1").arg(e.value(QLatin1String("code")).toInteger());
        it->error = message;
        return;
    }
    it->result = reply.value(QLatin1String("result"));
    if (it->onResult) {
        const auto onResult = it->onResult;
        m_pending.erase(it);
        onResult(reply.value(QLatin1String("result")));
        return;
    }
    if (it->onSuccess) {
        const auto onSuccess = it->onSuccess;   // the entry may move when the hash grows
        onSuccess();
    }
}

void Phd2Client::setAppState(const QString& state)
{
    if (m_appState == QLatin1String("Guiding") && state != m_appState)
        interrupted();
    if (state == QLatin1String("Guiding"))
        m_interruptionOpen = false;
    m_appState = state;
}

void Phd2Client::publishStatus()
{
    const QString status = StatusText();
    if (status == m_status)
        return;
    m_status = status;
    emit statusChanged(status);
}

bool Phd2Client::waitFor(const std::function<bool()>& done, int timeoutMs, const QString& what)
{
    if (done())
        return true;
    if (StopRequest::Requested())
        throw StopRequestedError(QStringLiteral("Stopped while ") + what);
    const auto keepAlive = weak_from_this().lock();
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(this, &Phd2Client::progressed, &loop, [&] {
        if (done())
            loop.quit();
    });
    // A stop asked for meanwhile is seen at the next poll.
    QTimer poll;
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (StopRequest::Requested())
            loop.quit();
    });
    poll.start(StopRequest::PollMs);
    timer.start(timeoutMs);
    loop.exec();
    if (!done() && StopRequest::Requested())
        throw StopRequestedError(QStringLiteral("Stopped while ") + what);
    return done();
}

void Phd2Client::fail(const QString& reason) const
{
    throw AutomationError(Where() + QStringLiteral(": ") + reason);
}
