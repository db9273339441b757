#include "link/ServerSocket.h"

#include "link/SocketErrors.h"
#include "platform/Error.h"

ServerSocket::ServerSocket(QObject* parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &ServerSocket::AcceptPending);
}

ServerSocket::~ServerSocket()
{
    Close();
}

void ServerSocket::Open(int port)
{
    if (Active())
        return;
    if (port < 1 || port > 65535)
        throw Error(SocketErrors::WindowsSocketError(SocketErrors::AddressNotAvailable, QStringLiteral("bind")));
    if (!m_server.listen(QHostAddress::AnyIPv4, quint16(port)))
        throw Error(SocketErrors::WindowsSocketError(SocketErrors::WsaCode(m_server.serverError()), QStringLiteral("bind")));
}

void ServerSocket::Close()
{
    m_server.close();
    const QList<QTcpSocket*> connections = std::exchange(m_connections, {});
    for (QTcpSocket* connection : connections) {
        // Silence first: abort() would otherwise report the disconnect.
        connection->disconnect(this);
        connection->abort();
        connection->deleteLater();
    }
}

QTcpSocket* ServerSocket::Connection(qsizetype index) const
{
    if (index < 0 || index >= m_connections.size())
        throw Error(QStringLiteral("List index out of bounds (%1)").arg(index));
    return m_connections[index];
}

void ServerSocket::AcceptPending()
{
    while (QTcpSocket* connection = m_server.nextPendingConnection()) {
        connection->setParent(this);
        connection->setReadBufferSize(ReadBufferSize);
        connection->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        // A connection that failed before it was handed over is no peer.
        if (connection->state() != QAbstractSocket::ConnectedState) {
            connection->deleteLater();
            continue;
        }
        m_connections.append(connection);
        connect(connection, &QTcpSocket::readyRead, this, [this, connection] { emit ClientRead(connection); });
        connect(connection, &QTcpSocket::disconnected, this, [this, connection] { Drop(connection); });
        emit Accepted(connection);
    }
}

void ServerSocket::Drop(QTcpSocket* connection)
{
    if (!m_connections.removeOne(connection))
        return;
    connection->disconnect(this);
    // deleteLater: this runs inside the connection's own signal.
    connection->deleteLater();
    emit ClientDisconnected(connection);
}
