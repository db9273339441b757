#pragma once
// ServerSocket: the main PC's listening socket. A QTcpServer on all IPv4
// addresses whose accepted connections are kept in order of acceptance; the
// first entry is "the first connection", the only one commands go to.
//
// Events (all on the UI thread, from the event loop, never from inside a call
// of this class): Accepted, ClientDisconnected (once per lost connection,
// after it has left the list), ClientRead. Errors on accepted connections are
// not events: a broken connection simply ends with ClientDisconnected.
//
// Each connection reads at most ReadBufferSize bytes ahead, so a peer that
// floods the listener cannot grow memory; Nagle's algorithm is off, so a
// command written to a connection leaves at once.
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>

class ServerSocket : public QObject {
    Q_OBJECT
public:
    explicit ServerSocket(QObject* parent = nullptr);
    ~ServerSocket() override;

    static constexpr qint64 ReadBufferSize = 64 * 1024;

    // Starts listening on 'port' (1..65535); does nothing when already
    // listening (close first to move). Throws Error with a Windows
    // socket text when the port is out of range or cannot be bound; the
    // listener is then inactive.
    void Open(int port);
    // Stops listening and drops every connection at once. Raises no events.
    void Close();
    bool Active() const { return m_server.isListening(); }
    // The port actually listened on (0 when inactive).
    int Port() const { return Active() ? m_server.serverPort() : 0; }

    qsizetype ConnectionCount() const { return m_connections.size(); }
    // The connection at 'index' in order of acceptance; throws Error
    // "List index out of bounds (%d)" when there is none.
    QTcpSocket* Connection(qsizetype index) const;

signals:
    void Accepted(QTcpSocket* connection);
    void ClientDisconnected(QTcpSocket* connection);
    void ClientRead(QTcpSocket* connection);

private:
    void AcceptPending();
    void Drop(QTcpSocket* connection);

    QTcpServer m_server;
    QList<QTcpSocket*> m_connections;
};
