#pragma once
// ClientSocket: the second PC's connection to the main PC. A QTcpSocket that
// connects asynchronously by host name and reports, on the UI thread:
//   Connecting    the attempt has started (after the name was looked up);
//   Connected     the connection is established;
//   Disconnected  an established connection has ended (by either side);
//   ErrorOccurred a failed lookup or attempt, or a broken connection, with its
//                 Windows Sockets number; the socket is closed by then;
//   ReadyRead     bytes are waiting (take them with ReceiveText).
// A connection the peer closes in an orderly way is a disconnect, not an error.
// An attempt that gets no answer fails after ConnectTimeoutMs with WSAETIMEDOUT
// (10060), as it does on Windows, rather than after the system's own, much
// longer, limit.
// Nagle's algorithm is off and at most ReadBufferSize bytes are read ahead.
#include <QByteArray>
#include <QObject>
#include <QTcpSocket>
#include <QTimer>

class ClientSocket : public QObject {
    Q_OBJECT
public:
    explicit ClientSocket(QObject* parent = nullptr);

    static constexpr qint64 ReadBufferSize = 64 * 1024;
    static constexpr int ConnectTimeoutMs = 21000;

    // For tests: a shorter limit for the attempts that follow.
    void SetConnectTimeout(int ms) { m_connectTimer.setInterval(ms); }

    // Starts a connection attempt to host:port and returns at once; its
    // outcome arrives as events. Throws Error "No address specified" when
    // 'host' is empty (nothing is started then). A port outside 1..65535
    // fails through ErrorOccurred like any refused attempt.
    void Open(const QString& host, int port);
    // Ends an established connection (raising Disconnected before it returns)
    // or cancels a pending attempt (no event). Never fails.
    void Close();
    bool IsConnected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    // True from Open until the attempt fails or the connection ends.
    bool Active() const { return m_socket.state() != QAbstractSocket::UnconnectedState || m_pendingError; }
    // Writes bytes on an established connection, never waiting; nothing is
    // written when there is none or when more than MaxUnsentBytes wait to
    // leave (a main PC that does not read).
    void Send(QByteArrayView bytes);
    static constexpr qint64 MaxUnsentBytes = 64 * 1024;
    // All bytes available now (at most ReadBufferSize).
    QByteArray ReceiveText() { return m_socket.readAll(); }

signals:
    void Connecting();
    void Connected();
    void Disconnected();
    void ErrorOccurred(int wsaCode);
    void ReadyRead();

private:
    void OnStateChanged(QAbstractSocket::SocketState state);
    void OnError(QAbstractSocket::SocketError error);

    void OnConnectTimeout();

    QTcpSocket m_socket;
    QTimer m_connectTimer;
    bool m_pendingError = false; // a refused bad port waits to be reported
    quint64 m_attempt = 0;       // so a cancelled attempt's queued error is dropped
};
