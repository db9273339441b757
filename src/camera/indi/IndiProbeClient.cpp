#include "IndiProbeClient.h"

#include "camera/indi/IndiRequest.h"

#include <QElapsedTimer>
#include <QTcpSocket>

namespace {
// One read pass takes at most this much from the socket, and stops early
// once it has used its time budget; the rest waits for the next pass.
constexpr qint64 kSliceBytes = 64 * 1024;
constexpr qint64 kPassBudgetMs = 10;

QString seconds(int ms) { return QString::number(ms / 1000.0, 'g', 4); }
}

IndiProbeClient::IndiProbeClient(const QString& host, int port, QObject* parent)
    : QObject(parent)
    , m_host(host)
    , m_port(port)
    , m_socket(new QTcpSocket(this))
    , m_parser([this](IndiEvent&& e) { onEvent(std::move(e)); })
{
    m_connectTimer.setSingleShot(true);
    connect(&m_connectTimer, &QTimer::timeout, this, [this] {
        end(QStringLiteral("no answer within %1 s").arg(seconds(m_connectTimer.interval())));
    });
    connect(m_socket, &QTcpSocket::connected, this, [this] {
        m_connectTimer.stop();
        AskProperties(m_device);
        emit connected();
    });
    connect(m_socket, &QTcpSocket::readyRead, this, &IndiProbeClient::onReadyRead);
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        switch (error) {
        case QAbstractSocket::ConnectionRefusedError:
            end(QStringLiteral("connection refused (is indiserver running on that port?)"));
            break;
        case QAbstractSocket::RemoteHostClosedError:
            end(QStringLiteral("the server closed the connection"));
            break;
        case QAbstractSocket::HostNotFoundError:
            end(QStringLiteral("host not found"));
            break;
        default:
            end(m_socket->errorString());
        }
    });
}

IndiProbeClient::~IndiProbeClient()
{
    m_socket->disconnect(this);
    m_socket->abort();
}

QString IndiProbeClient::Where() const { return QStringLiteral("%1:%2").arg(m_host).arg(m_port); }

bool IndiProbeClient::IsConnected() const
{
    return !m_ended && m_socket->state() == QAbstractSocket::ConnectedState;
}

void IndiProbeClient::Start(int connectTimeoutMs, const QString& device)
{
    m_device = device;
    m_ended = false;
    m_connectTimer.start(std::max(1, connectTimeoutMs));
    if (m_port < 1 || m_port > 65535) {
        QTimer::singleShot(0, this, [this] { end(QStringLiteral("the port must be from 1 to 65535")); });
        return;
    }
    m_socket->connectToHost(m_host, quint16(m_port));
}

void IndiProbeClient::Stop()
{
    m_ended = true;
    m_connectTimer.stop();
    m_socket->flush();   // what was sent last (a disconnect) goes out first
    m_socket->abort();
}

void IndiProbeClient::end(const QString& reason)
{
    if (m_ended)
        return;
    m_ended = true;
    m_connectTimer.stop();
    m_socket->abort();
    emit ended(reason);
}

void IndiProbeClient::onReadyRead()
{
    m_continuationQueued = false;
    QElapsedTimer pass;
    pass.start();
    while (!m_ended && m_socket->bytesAvailable() > 0) {
        if (!m_parser.feed(m_socket->read(kSliceBytes))) {
            end(QStringLiteral("the server sent something that is not INDI (%1)").arg(m_parser.errorString()));
            return;
        }
        if (pass.elapsed() >= kPassBudgetMs)
            break;
    }
    // Data left in the buffer raises no new readyRead: come back next pass.
    if (!m_ended && m_socket->bytesAvailable() > 0 && !m_continuationQueued) {
        m_continuationQueued = true;
        QTimer::singleShot(0, this, &IndiProbeClient::onReadyRead);
    }
    if (!m_ended)
        emit changed();
}

void IndiProbeClient::onEvent(IndiEvent&& event)
{
    const QString& device = event.Property.Device;
    if (!device.isEmpty() && !m_devices.contains(device)) {
        if (event.Kind != IndiEvent::Type::Define)
            return;
        if (m_devices.size() >= MaxDevices) {
            m_overflow = true;
            return;
        }
        m_devices.insert(device);
    }
    if (event.Kind == IndiEvent::Type::Set && event.Property.Kind == IndiKind::Blob)
        return;   // no images here
    m_cache.apply(event);
}

void IndiProbeClient::AskProperties(const QString& device)
{
    if (!IsConnected())
        return;
    m_socket->write(IndiRequest::GetProperties(device));
}

void IndiProbeClient::SendNew(IndiKind kind, const QString& device, const QString& name,
                              const QList<QPair<QString, QString>>& values)
{
    if (!IsConnected())
        return;
    m_socket->write(IndiRequest::NewVector(kind, device, name, values));
}
