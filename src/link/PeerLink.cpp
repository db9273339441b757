#include "link/PeerLink.h"

#include "link/PeerLinkHost.h"
#include "link/SocketErrors.h"
#include "platform/Error.h"

#include <QTcpSocket>
#include <QTimer>

namespace {
const QString kListening = QStringLiteral("Listening for connect...");
}

PeerLink::PeerLink(PeerLinkHost& host, RunState& state, QObject* parent)
    : QObject(parent), m_host(host), m_state(state),
      m_hub([this](quintptr id, QByteArrayView bytes) { WriteExtended(id, bytes); }),
      m_second(state, [this](QByteArrayView bytes) { m_client.Send(bytes); })
{
    connect(&m_server, &ServerSocket::Accepted, this, &PeerLink::ServerSocketAccept);
    connect(&m_server, &ServerSocket::ClientDisconnected, this, &PeerLink::ServerSocketClientDisconnect);
    connect(&m_server, &ServerSocket::ClientRead, this, &PeerLink::ServerSocketClientRead);
    connect(&m_client, &ClientSocket::Connecting, this, &PeerLink::ClientSocketConnecting);
    connect(&m_client, &ClientSocket::Connected, this, &PeerLink::ClientSocketConnect);
    connect(&m_client, &ClientSocket::Disconnected, this, &PeerLink::ClientSocketDisconnect);
    connect(&m_client, &ClientSocket::ErrorOccurred, this, &PeerLink::ClientSocketError);
    connect(&m_client, &ClientSocket::ReadyRead, this, &PeerLink::ClientSocketRead);
}

PeerLink::~PeerLink()
{
    // No status texts from a window that is going away.
    m_server.disconnect(this);
    m_client.disconnect(this);
}

void PeerLink::SetClock(const std::function<qint64()>& nowMs)
{
    m_hub.SetClock(nowMs);
    m_second.SetClock(nowMs);
}

void PeerLink::OpenListener(int port)
{
    m_client.Close();
    m_hub.Clear();
    try {
        m_server.Close();
        m_server.Open(port);
    } catch (const Error&) {
        // A taken or bad port leaves the main PC without a listener; every
        // SendToPeer then says "Socket not connected".
    }
    m_host.SetStatusText(kListening);
}

void PeerLink::RestartListener(int port)
{
    m_hub.Clear();
    try {
        m_server.Close();
        m_server.Open(port);
    } catch (const Error&) {
    }
}

void PeerLink::CloseAll()
{
    m_hub.Clear();
    m_server.Close();
    m_client.Close();
}

bool PeerLink::SendToPeer(const QString& command)
{
    try {
        if (!m_server.Active()) {
            m_host.SetStatusText(QStringLiteral("Socket not connected"));
            return false;
        }
        if (m_hub.Enabled()) {
            m_hub.SendCommand(command.toLatin1());
            if (m_server.ConnectionCount() > 0 && m_hub.IsExtended(quintptr(m_server.Connection(0))))
                return true;
        }
        QTcpSocket* connection = m_server.Connection(0);
        if (connection->bytesToWrite() > MaxUnsentBytes)
            throw Error(SocketErrors::WindowsSocketError(SocketErrors::WouldBlock, QStringLiteral("send")));
        const QByteArray bytes = command.toLatin1();
        if (connection->write(bytes) != bytes.size())
            throw Error(SocketErrors::WindowsSocketError(SocketErrors::NotConnected, QStringLiteral("send")));
        // Hand the bytes to the system now rather than at the next event-loop
        // pass: the run goes straight on to the camera after a command.
        // flush() writes what the system takes without blocking.
        connection->flush();
        return true;
    } catch (const Error& e) {
        m_host.SetStatusText(e.message());
        return false;
    }
}

void PeerLink::ConnectIpButtonClick()
{
    m_client.Close();
    try {
        m_client.Open(m_host.PeerAddress(), m_host.PeerPort());
    } catch (const Error& e) {
        // The half-opened socket is closed again, which reads as a disconnect.
        ClientSocketDisconnect();
        m_host.ShowStandardError(e.message());
        return;
    }
    m_host.SetLinkControls(true);
}

void PeerLink::DisconnectIpButtonClick()
{
    // Also cancels an attempt still pending, so that a late success cannot
    // show "Connected to" while the controls are idle.
    m_client.Close();
    m_host.SetLinkControls(false);
    m_host.SetStatusText(QString());
}

void PeerLink::WriteExtended(quintptr id, QByteArrayView bytes)
{
    // A peer that does not keep up loses lines rather than growing the send
    // buffer; the guard's bound covers what it then fails to report.
    for (qsizetype i = 0; i < m_server.ConnectionCount(); ++i) {
        QTcpSocket* connection = m_server.Connection(i);
        if (quintptr(connection) == id && connection->bytesToWrite() <= MaxUnsentBytes) {
            connection->write(bytes.data(), bytes.size());
            connection->flush();
        }
    }
}

void PeerLink::ServerSocketAccept(QTcpSocket* connection)
{
    m_hub.Add(quintptr(connection), connection->peerAddress().toString());
    m_host.SetStatusText(QStringLiteral("Connect to: ") + connection->peerAddress().toString());
}

void PeerLink::ServerSocketClientDisconnect(QTcpSocket* connection)
{
    m_hub.Remove(quintptr(connection));
    m_host.SetStatusText(kListening);
}

void PeerLink::ServerSocketClientRead(QTcpSocket* connection)
{
    // The hub reads greetings and reports; anything else is dropped, as is
    // everything while the extension is off.
    m_hub.Received(quintptr(connection), connection->read(connection->bytesAvailable()));
}

void PeerLink::ClientSocketConnecting()
{
    m_host.SetStatusText(QStringLiteral("Connecting to ") + m_host.PeerAddress());
}

void PeerLink::ClientSocketConnect()
{
    m_host.SetStatusText(QStringLiteral("Connected to ") + m_host.PeerAddress());
    m_second.Connected();
}

void PeerLink::ClientSocketDisconnect()
{
    m_second.Disconnected();
    m_host.SetStatusText(QStringLiteral("Disconnected"));
}

void PeerLink::ClientSocketError(int wsaCode)
{
    DisconnectIpButtonClick();
    m_host.SetStatusText(QStringLiteral("Error connecting to ") + m_host.PeerAddress());
    // The error box is modal: show it once this socket event has returned.
    QTimer::singleShot(0, this, [this, wsaCode] { m_host.ShowStandardError(SocketErrors::AsynchronousError(wsaCode)); });
}

void PeerLink::ClientSocketRead()
{
    m_second.Feed(m_client.ReceiveText());
}
