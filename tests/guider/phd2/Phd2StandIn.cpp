#include "Phd2StandIn.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>
#include <cmath>

namespace {
constexpr qsizetype kMaxRequestLine = 1024;
constexpr double kEpoch = 1765000000.0;   // Timestamp of virtual time 0, seconds
}

Phd2StandIn::Phd2StandIn(QObject* parent) : QObject(parent), m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &Phd2StandIn::onNewConnection);
    connect(&m_frameTimer, &QTimer::timeout, this, &Phd2StandIn::Frame);
    m_drainTimer.setInterval(0);
    connect(&m_drainTimer, &QTimer::timeout, this, &Phd2StandIn::drain);
}

Phd2StandIn::~Phd2StandIn()
{
    Close();
}

bool Phd2StandIn::Listen(quint16 port)
{
    return m_server->listen(QHostAddress::LocalHost, port);
}

quint16 Phd2StandIn::Port() const
{
    return m_server->serverPort();
}

void Phd2StandIn::Close()
{
    m_server->close();
    DropClients();
}

void Phd2StandIn::DropClients()
{
    m_queue.clear();
    for (const Client& c : std::as_const(m_clients)) {
        c.socket->disconnect(this);
        c.socket->abort();
        c.socket->deleteLater();
    }
    m_clients.clear();
}

void Phd2StandIn::LoseStar()
{
    m_starLost = true;
    m_state = QStringLiteral("LostLock");
}

void Phd2StandIn::RecoverStar()
{
    m_starLost = false;
    m_state = QStringLiteral("Guiding");
}

void Phd2StandIn::StopGuiding()
{
    m_state = QStringLiteral("Stopped");
    event(QStringLiteral("GuidingStopped"), {});
}

void Phd2StandIn::PauseGuiding()
{
    m_stateBeforePause = m_state;
    m_state = QStringLiteral("Paused");
    event(QStringLiteral("Paused"), {});
}

void Phd2StandIn::ResumeGuiding()
{
    m_state = m_stateBeforePause.isEmpty() ? QStringLiteral("Guiding") : m_stateBeforePause;
    event(QStringLiteral("Resumed"), {});
}

void Phd2StandIn::StartLooping()
{
    m_state = QStringLiteral("Looping");
}

void Phd2StandIn::SelectStar()
{
    m_state = QStringLiteral("Selected");
    event(QStringLiteral("StarSelected"), {{"X", m_star.x()}, {"Y", m_star.y()}});
}

void Phd2StandIn::ClearLock()
{
    m_lock.reset();
    event(QStringLiteral("LockPositionLost"), {});
}

void Phd2StandIn::FailNext(const QString& method, int code, const QString& message)
{
    m_failMethod = method;
    m_failCode = code;
    m_failMessage = message;
}

void Phd2StandIn::Frame()
{
    ++m_frame;
    const double time = m_now / 1000.0;
    if (m_starLost) {
        event(QStringLiteral("StarLost"), {{"Frame", m_frame}, {"Time", time}, {"StarMass", 0.0}, {"SNR", 0.0},
                                           {"AvgDist", 0.0}, {"ErrorCode", 3}, {"Status", "Star lost - low mass"}});
        return;
    }
    if (m_state == QLatin1String("Looping") || m_state == QLatin1String("Selected")) {
        event(QStringLiteral("LoopingExposures"), {{"Frame", m_frame}});
        return;
    }
    if (m_state != QLatin1String("Guiding") || !m_lock)
        return;
    // Measured against the lock position now; reported when the pulse ends.
    m_star += (*m_lock - m_star) * m_gain;
    const double dx = m_star.x() - m_lock->x(), dy = m_star.y() - m_lock->y();
    const QJsonObject step{{"Frame", m_frame}, {"Time", time}, {"Mount", "Mount"}, {"dx", dx}, {"dy", dy},
                           {"RADistanceRaw", dx}, {"DECDistanceRaw", dy}, {"RADistanceGuide", dx}, {"DECDistanceGuide", dy},
                           {"RADuration", 0}, {"DECDuration", 0}, {"StarMass", 5000.0}, {"SNR", 40.0}, {"HFD", 2.5},
                           {"AvgDist", std::hypot(dx, dy)}};
    m_pulses.append({m_now + m_pulseMs, step});
    sendDueSteps(m_now);
}

void Phd2StandIn::sendDueSteps(qint64 ms)
{
    while (!m_pulses.isEmpty() && m_pulses.first().first <= ms) {
        const auto [at, step] = m_pulses.takeFirst();
        m_steps.append({at, step.value(QLatin1String("Frame")).toInt(), step.value(QLatin1String("dx")).toDouble(),
                        step.value(QLatin1String("dy")).toDouble()});
        event(QStringLiteral("GuideStep"), step);
    }
}

void Phd2StandIn::AdvanceTo(qint64 ms)
{
    // Frames and the ends of their pulses, in the order of time.
    for (;;) {
        const qint64 frameAt = m_nextFrame + m_frameMs;
        const qint64 pulseEnd = m_pulses.isEmpty() ? ms + 1 : m_pulses.first().first;
        if (pulseEnd <= ms && pulseEnd < frameAt) {
            m_now = std::max(m_now, pulseEnd);
            sendDueSteps(pulseEnd);
            continue;
        }
        if (frameAt > ms)
            break;
        m_nextFrame = frameAt;
        m_now = frameAt;
        Frame();
    }
    m_now = std::max(m_now, ms);
}

void Phd2StandIn::StartFrames(int intervalMs)
{
    m_frameTimer.start(intervalMs);
}

void Phd2StandIn::HoldOutput(bool hold)
{
    m_hold = hold;
    if (hold)
        return;
    // Everything held goes out in one write per client.
    QList<QPair<QPointer<QTcpSocket>, QByteArray>> queued;
    queued.swap(m_queue);
    QHash<QTcpSocket*, QByteArray> joined;
    for (const auto& piece : queued)
        if (piece.first)
            joined[piece.first] += piece.second;
    for (auto it = joined.cbegin(); it != joined.cend(); ++it) {
        it.key()->write(it.value());
        it.key()->flush();
    }
}

void Phd2StandIn::Flood(qint64 bytes)
{
    m_floodLeft = bytes;
    pumpFlood();
}

void Phd2StandIn::pumpFlood()
{
    // About 1 MB queued at a time: the client is kept busy, little is held here.
    while (m_floodLeft > 0 && !m_clients.isEmpty() && m_clients.last().socket->bytesToWrite() < 1024 * 1024) {
        QByteArray lines;
        for (int k = 0; k < 1000; ++k, ++m_floodIndex) {
            const qint64 i = m_floodIndex;
            const QJsonObject e{{"Event", i % 2 ? "GuideStep" : "LoopingExposures"}, {"Timestamp", kEpoch + i},
                                {"Host", "standin"}, {"Inst", 1}, {"Frame", i}, {"dx", 0.01 * (i % 50)}, {"dy", -0.01 * (i % 50)}};
            lines += QJsonDocument(e).toJson(QJsonDocument::Compact) + "\r\n";
        }
        m_floodLeft -= lines.size();
        m_clients.last().socket->write(lines);
    }
}

void Phd2StandIn::SendRaw(const QByteArray& bytes)
{
    for (const Client& c : std::as_const(m_clients))
        write(c.socket, bytes);
}

QList<QPointF> Phd2StandIn::LockPositionsReceived() const
{
    QList<QPointF> positions;
    for (const Request& r : m_requests) {
        if (r.method != QLatin1String("set_lock_position"))
            continue;
        const QJsonArray a = r.params.toArray();
        if (r.params.isArray() && a.size() >= 2)
            positions.append({a.at(0).toDouble(), a.at(1).toDouble()});
        else
            positions.append({r.params[QLatin1String("x")].toDouble(), r.params[QLatin1String("y")].toDouble()});
    }
    return positions;
}

void Phd2StandIn::onNewConnection()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        m_clients.append(Client{socket, QByteArray()});
        m_messagesSent = 0;
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::bytesWritten, this, &Phd2StandIn::pumpFlood);
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_clients.removeIf([socket](const Client& c) { return c.socket == socket; });
            socket->deleteLater();
        });
        QJsonObject version{{"PHDVersion", "2.6.11"}, {"PHDSubver", ""}, {"MsgVersion", 1}, {"OverlapSupport", true}};
        version.insert(QStringLiteral("Event"), QStringLiteral("Version"));
        version.insert(QStringLiteral("Timestamp"), kEpoch + m_now / 1000.0);
        version.insert(QStringLiteral("Host"), QStringLiteral("standin"));
        version.insert(QStringLiteral("Inst"), 1);
        send(socket, version);
        send(socket, QJsonObject{{"Event", "AppState"}, {"Timestamp", kEpoch + m_now / 1000.0},
                                 {"Host", "standin"}, {"Inst", 1}, {"State", m_state}});
    }
}

void Phd2StandIn::onReadyRead(QTcpSocket* socket)
{
    auto it = std::find_if(m_clients.begin(), m_clients.end(), [socket](const Client& c) { return c.socket == socket; });
    if (it == m_clients.end())
        return;
    it->input += socket->readAll();
    qsizetype end;
    while ((end = it->input.indexOf('\n')) >= 0) {
        QByteArray line = it->input.left(end);
        it->input.remove(0, end + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.size() > kMaxRequestLine)
            continue;   // beyond what the server reads as one request
        handleLine(socket, line);
        it = std::find_if(m_clients.begin(), m_clients.end(), [socket](const Client& c) { return c.socket == socket; });
        if (it == m_clients.end())
            return;
    }
}

void Phd2StandIn::handleLine(QTcpSocket* socket, const QByteArray& line)
{
    if (line.trimmed().isEmpty())
        return;
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(line, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        reply(socket, QJsonValue::Null, {}, -32700, QStringLiteral("Parse error"));
        return;
    }
    if (!doc.isObject()) {
        reply(socket, QJsonValue::Null, {}, -32600, QStringLiteral("Invalid request"));
        return;
    }
    const QJsonObject request = doc.object();
    Request r{request.value(QLatin1String("method")).toString(), request.value(QLatin1String("params")),
              request.contains(QLatin1String("id"))};
    m_requests.append(r);
    if (!r.hasId || !m_answering)
        return;
    const QJsonValue id = request.value(QLatin1String("id"));
    if (!request.value(QLatin1String("method")).isString()) {
        reply(socket, id, {}, -32600, QStringLiteral("Invalid request"));
        return;
    }
    if (!m_failMethod.isEmpty() && r.method == m_failMethod) {
        m_failMethod.clear();
        reply(socket, id, {}, m_failCode, m_failMessage);
        return;
    }
    int code = 0;
    QString message;
    const QJsonValue result = run(r.method, r.params, &code, &message);
    reply(socket, id, result, code, message);
    if (code == 0 && r.method == QLatin1String("set_lock_position"))
        event(QStringLiteral("LockPositionSet"), {{"X", m_lock->x()}, {"Y", m_lock->y()}});
}

QJsonValue Phd2StandIn::run(const QString& method, const QJsonValue& params, int* code, QString* message)
{
    if (method == QLatin1String("get_app_state"))
        return m_state;
    if (method == QLatin1String("get_lock_position"))
        return m_lock ? QJsonValue(QJsonArray{m_lock->x(), m_lock->y()}) : QJsonValue(QJsonValue::Null);
    if (method == QLatin1String("set_lock_position")) {
        QJsonValue x, y, exact = true;
        if (params.isArray()) {
            const QJsonArray a = params.toArray();
            x = a.at(0);
            y = a.at(1);
            if (a.size() > 2)
                exact = a.at(2);
        } else if (params.isObject()) {
            x = params[QLatin1String("x")];
            y = params[QLatin1String("y")];
            if (params.toObject().contains(QLatin1String("exact")))
                exact = params[QLatin1String("exact")];
        }
        if (!x.isDouble() || !y.isDouble() || !exact.isBool()) {
            *code = -32602;
            *message = QStringLiteral("Invalid params");
            return {};
        }
        // Exact or not makes no difference to this stand-in: it has no star
        // field to search for a star near the position.
        m_lock = QPointF(x.toDouble(), y.toDouble());
        return 0;
    }
    *code = -32601;
    *message = QStringLiteral("method not found");
    return {};
}

void Phd2StandIn::reply(QTcpSocket* socket, const QJsonValue& id, const QJsonValue& result, int code,
                        const QString& message)
{
    QJsonObject r{{"jsonrpc", "2.0"}, {"id", id}};
    if (code != 0)
        r.insert(QStringLiteral("error"), QJsonObject{{"code", code}, {"message", message}});
    else
        r.insert(QStringLiteral("result"), result);
    send(socket, r);
}

void Phd2StandIn::event(const QString& name, QJsonObject attributes)
{
    attributes.insert(QStringLiteral("Event"), name);
    attributes.insert(QStringLiteral("Timestamp"), kEpoch + m_now / 1000.0);
    attributes.insert(QStringLiteral("Host"), QStringLiteral("standin"));
    attributes.insert(QStringLiteral("Inst"), 1);
    for (const Client& c : std::as_const(m_clients))
        send(c.socket, attributes);
}

void Phd2StandIn::send(QTcpSocket* socket, const QJsonObject& message)
{
    if (!m_clients.isEmpty() && socket == m_clients.last().socket)
        ++m_messagesSent;
    write(socket, QJsonDocument(message).toJson(QJsonDocument::Compact) + "\r\n");
}

void Phd2StandIn::write(QTcpSocket* socket, const QByteArray& bytes)
{
    if (!m_hold && m_chunkBytes <= 0 && m_queue.isEmpty()) {
        socket->write(bytes);
        return;
    }
    const int piece = m_chunkBytes > 0 && !m_hold ? m_chunkBytes : int(bytes.size());
    for (qsizetype at = 0; at < bytes.size(); at += piece)
        m_queue.append({socket, bytes.mid(at, piece)});
    if (!m_hold && !m_drainTimer.isActive())
        m_drainTimer.start();
}

void Phd2StandIn::drain()
{
    // One piece a tick, flushed, so the client sees it in a read of its own.
    if (m_hold || m_queue.isEmpty()) {
        m_drainTimer.stop();
        return;
    }
    const auto piece = m_queue.takeFirst();
    if (piece.first) {
        piece.first->write(piece.second);
        piece.first->flush();
    }
}
