#include "link/ClientSocket.h"

#include "link/SocketErrors.h"
#include "platform/Error.h"


ClientSocket::ClientSocket(QObject* parent) : QObject(parent)
{
    m_socket.setReadBufferSize(ReadBufferSize);
    m_connectTimer.setSingleShot(true);
    m_connectTimer.setInterval(ConnectTimeoutMs);
    connect(&m_connectTimer, &QTimer::timeout, this, &ClientSocket::OnConnectTimeout);
    connect(&m_socket, &QTcpSocket::stateChanged, this, &ClientSocket::OnStateChanged);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, &ClientSocket::OnError);
    connect(&m_socket, &QTcpSocket::disconnected, this, &ClientSocket::Disconnected);
    connect(&m_socket, &QTcpSocket::readyRead, this, &ClientSocket::ReadyRead);
}

void ClientSocket::Open(const QString& host, int port)
{
    if (host.isEmpty())
        throw Error(QStringLiteral("No address specified"));
    Close();
    const quint64 attempt = ++m_attempt;
    if (port < 1 || port > 65535) {
        // Reported from the event loop, like every other failed attempt.
        m_pendingError = true;
        QTimer::singleShot(0, this, [this, attempt] {
            if (attempt != m_attempt || !m_pendingError)
                return;
            m_pendingError = false;
            emit ErrorOccurred(SocketErrors::AddressNotAvailable);
        });
        return;
    }
    m_connectTimer.start();
    m_socket.connectToHost(host, quint16(port));
}

void ClientSocket::Close()
{
    ++m_attempt;
    m_pendingError = false;
    m_connectTimer.stop();
    // abort() emits disconnected() synchronously when a connection was up.
    m_socket.abort();
}

void ClientSocket::Send(QByteArrayView bytes)
{
    if (!IsConnected() || m_socket.bytesToWrite() > MaxUnsentBytes)
        return;
    m_socket.write(bytes.data(), bytes.size());
    m_socket.flush();
}

void ClientSocket::OnStateChanged(QAbstractSocket::SocketState state)
{
    if (state == QAbstractSocket::ConnectingState) {
        emit Connecting();
    } else if (state == QAbstractSocket::ConnectedState) {
        m_connectTimer.stop();
        m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        emit Connected();
    }
}

void ClientSocket::OnError(QAbstractSocket::SocketError error)
{
    // An orderly close by the peer ends with disconnected(); it is no error.
    if (error == QAbstractSocket::RemoteHostClosedError)
        return;
    m_connectTimer.stop();
    const int code = SocketErrors::WsaCode(error);
    // Close first so that the handler sees an inactive socket and may open a
    // new attempt; a connection that was up reports Disconnected here.
    m_socket.abort();
    emit ErrorOccurred(code);
}

void ClientSocket::OnConnectTimeout()
{
    if (m_socket.state() == QAbstractSocket::ConnectedState || m_socket.state() == QAbstractSocket::UnconnectedState)
        return;
    m_socket.abort();
    emit ErrorOccurred(SocketErrors::TimedOut);
}
