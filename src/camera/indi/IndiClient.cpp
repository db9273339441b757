#include "IndiClient.h"

#include "camera/AutomationError.h"
#include "camera/StopRequest.h"
#include "camera/indi/IndiRequest.h"

#include <QEventLoop>
#include <QTcpSocket>
#include <QTimer>
#include <memory>

namespace {
// One pass of the read handler takes slices of this much from the socket
// until kPassBudgetMs have passed: a slice is a few milliseconds of work for
// the XML reader (the slowest part) and far less for a BLOB's payload.
constexpr qint64 kSliceBytes = 64 * 1024;
constexpr qint64 kPassBudgetMs = 10;

QString key(const QString& device, const QString& name) { return device + QChar(0) + name; }

QString seconds(int ms) { return QString::number(ms / 1000.0, 'g', 4); }
}

IndiClient::IndiClient(const QString& host, int port)
    : m_host(host)
    , m_port(port)
    , m_socket(new QTcpSocket(this))
    , m_parser([this](IndiEvent&& e) { onEvent(std::move(e)); })
{
    m_parser.setBlobStartHandler([this] { emit blobArriving(); });
    m_parser.setBlobPolicy([this](const QString& device, const QString& name) {
        return m_blobLimits.value(key(device, name), -1);
    });
    m_socket->setReadBufferSize(ReadBufferBytes);
    connect(m_socket, &QTcpSocket::readyRead, this, &IndiClient::onReadyRead);
    connect(m_socket, &QTcpSocket::connected, this, &IndiClient::changed);
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this] {
        if (m_socket->state() != QAbstractSocket::ConnectedState)
            emit changed();
    });
    connect(m_socket, &QTcpSocket::disconnected, this, [this] {
        lose(QStringLiteral("the server closed the connection"));
    });
}

IndiClient::~IndiClient() = default;

QString IndiClient::serverName() const { return QStringLiteral("%1:%2").arg(m_host).arg(m_port); }

bool IndiClient::isConnected() const
{
    return m_lost.isEmpty() && m_socket->state() == QAbstractSocket::ConnectedState;
}

void IndiClient::connectToServer(int timeoutMs)
{
    m_lost.clear();
    m_socket->connectToHost(m_host, quint16(m_port));
    bool up = false;
    try {
        up = waitUntil([this] {
            return m_socket->state() == QAbstractSocket::ConnectedState
                || m_socket->state() == QAbstractSocket::UnconnectedState;
        }, timeoutMs, QStringLiteral("connecting to the INDI server at %1").arg(serverName()));
    } catch (const StopRequestedError&) {
        m_socket->abort();
        throw;
    }
    if (m_socket->state() != QAbstractSocket::ConnectedState) {
        const QString reason = up ? m_socket->errorString()
                                  : QStringLiteral("no answer within %1 s").arg(seconds(timeoutMs));
        m_socket->abort();
        throw AutomationError(QStringLiteral("Cannot connect to the INDI server at %1 (host %2, port %3): %4")
                                  .arg(serverName(), m_host).arg(m_port).arg(reason));
    }
    write(IndiRequest::GetProperties());
}

void IndiClient::disconnectFromServer()
{
    m_lost = QStringLiteral("the connection was closed by Tandexa");
    m_socket->abort();
}

void IndiClient::lose(const QString& reason)
{
    if (m_lost.isEmpty())
        m_lost = reason;
    emit changed();
}

void IndiClient::write(const QByteArray& xml)
{
    if (!isConnected())
        throw AutomationError(QStringLiteral("Not connected to the INDI server at %1: %2")
                                  .arg(serverName(), m_lost.isEmpty() ? QStringLiteral("never connected") : m_lost));
    m_socket->write(xml);
}

void IndiClient::onReadyRead()
{
    m_continuationQueued = false;
    m_inReadHandler = true;
    // Cleared on every way out: a handler that threw must not leave every
    // later request refused as "waited inside the read handler".
    const std::unique_ptr<bool, void (*)(bool*)> leave(&m_inReadHandler, [](bool* flag) { *flag = false; });
    QElapsedTimer pass;
    pass.start();
    while (m_socket->bytesAvailable() > 0 && m_lost.isEmpty()) {
        const QByteArray piece = m_socket->read(kSliceBytes);
        if (!m_parser.feed(piece)) {
            // The reason first: aborting reports a disconnection of its own.
            lose(m_parser.errorString());
            m_socket->abort();
            break;
        }
        if (pass.elapsed() >= kPassBudgetMs)
            break;
    }
    m_longestPassMs = std::max(m_longestPassMs, pass.elapsed());
    // Data left in the buffer raises no new readyRead: come back next pass.
    if (m_socket->bytesAvailable() > 0 && m_lost.isEmpty() && !m_continuationQueued) {
        m_continuationQueued = true;
        QTimer::singleShot(0, this, &IndiClient::onReadyRead);
    }
}

void IndiClient::onEvent(IndiEvent&& event)
{
    if (!m_lost.isEmpty())
        return;   // nothing after a broken bound is believed
    if (!m_cache.apply(event)) {
        lose(QStringLiteral("the server defined more than %1 properties").arg(IndiPropertyCache::MaxProperties));
        m_socket->abort();
        return;
    }
    if (event.Kind == IndiEvent::Type::Set && event.Property.Kind == IndiKind::Blob
        && !event.Property.Elements.isEmpty() && !event.BlobSkipped) {
        Blob& b = m_blobs[key(event.Property.Device, event.Property.Name)];
        b.Serial = ++m_blobSerial;
        b.Data = std::move(event.Blob);
        b.Format = event.BlobFormat;
        b.Problem = event.BlobProblem;
        b.Claimed = event.BlobClaimed;
    }
    emit changed();
}

void IndiClient::releaseBlob(const QString& device, const QString& name)
{
    const auto it = m_blobs.find(key(device, name));
    if (it != m_blobs.end())
        it->Data = QByteArray();
}

void IndiClient::expectBlob(const QString& device, const QString& name, qint64 maxBytes)
{
    m_blobLimits.insert(key(device, name), std::max<qint64>(0, maxBytes));
}

void IndiClient::ignoreBlob(const QString& device, const QString& name)
{
    m_blobLimits.remove(key(device, name));
    m_parser.abandonBlob(device, name);
}

const IndiClient::Blob& IndiClient::blob(const QString& device, const QString& name) const
{
    static const Blob none;
    const auto it = m_blobs.constFind(key(device, name));
    return it == m_blobs.cend() ? none : *it;
}

void IndiClient::sendNew(IndiKind kind, const QString& device, const QString& name, const Values& values)
{
    write(IndiRequest::NewVector(kind, device, name, values));
    m_cache.markBusy(device, name);
}

void IndiClient::enableBlobs(const QString& device)
{
    write(IndiRequest::EnableBlobs(device));
}

bool IndiClient::waitUntil(const std::function<bool()>& done, int timeoutMs, const QString& what)
{
    if (m_inReadHandler)
        throw AutomationError(QStringLiteral("Internal error: an INDI request waited inside the socket's read handler"));
    if (done())
        return true;
    const auto stopped = [&] {
        return StopRequestedError(what.isEmpty() ? QStringLiteral("Stopped") : QStringLiteral("Stopped while ") + what);
    };
    if (StopRequest::Requested())
        throw stopped();
    QEventLoop loop;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    // A stop asked for meanwhile is seen at the next poll.
    QTimer poll;
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (StopRequest::Requested())
            loop.quit();
    });
    poll.start(StopRequest::PollMs);
    // A change that ends the connection also ends the wait: nothing more comes.
    const QMetaObject::Connection watch = connect(this, &IndiClient::changed, &loop, [&] {
        if (done() || !m_lost.isEmpty())
            loop.quit();
    });
    timer.start(std::max(0, timeoutMs));
    if (m_lost.isEmpty() || m_socket->state() != QAbstractSocket::UnconnectedState)
        loop.exec();
    disconnect(watch);
    if (!done() && StopRequest::Requested())
        throw stopped();
    return done();
}

void IndiClient::request(IndiKind kind, const QString& device, const QString& name, const Values& values,
                         const std::function<bool(const IndiProperty&)>& accepted, int timeoutMs,
                         const QString& what)
{
    const quint64 sent = m_cache.serial();
    sendNew(kind, device, name, values);
    bool refused = false;
    waitUntil([&] {
        const IndiProperty* p = m_cache.find(device, name);
        if (!p)
            return true;
        if (p->State == IndiState::Busy)
            return false;
        if (p->State == IndiState::Alert && !accepted(*p)) {
            refused = p->Serial > sent;
            return refused;
        }
        return p->State != IndiState::Alert && accepted(*p);
    }, timeoutMs, what);
    const IndiProperty* p = m_cache.find(device, name);
    const QString said = m_cache.messageSince(device, sent);
    const QString tail = said.isEmpty() ? QString() : QStringLiteral(": ") + said;
    if (!p)
        throw AutomationError(QStringLiteral("\"%1\" withdrew its property %2 while %3%4").arg(device, name, what, tail));
    if (refused || (p->State == IndiState::Alert && p->Serial > sent))
        throw AutomationError(QStringLiteral("\"%1\" refused %2%3").arg(device, what, tail));
    if (p->State != IndiState::Busy && p->State != IndiState::Alert && accepted(*p))
        return;
    if (!m_lost.isEmpty())
        throw AutomationError(QStringLiteral("Lost the INDI server at %1 while %2: %3").arg(serverName(), what, m_lost));
    throw AutomationError(QStringLiteral("No answer from \"%1\" within %2 s while %3%4")
                              .arg(device, seconds(timeoutMs), what, tail));
}
