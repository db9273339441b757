#pragma once
// SocketErrors: the Windows Sockets numbers and texts the link shows, so that
// a user sees the same message on every system ("Asynchronous socket error
// 10061", "Windows socket error: ... (10054), on API 'send'").
#include <QAbstractSocket>
#include <QString>

namespace SocketErrors {

constexpr int WouldBlock = 10035;       // WSAEWOULDBLOCK
constexpr int AddressNotAvailable = 10049; // WSAEADDRNOTAVAIL
constexpr int NotConnected = 10057;     // WSAENOTCONN
constexpr int Refused = 10061;          // WSAECONNREFUSED
constexpr int TimedOut = 10060;         // WSAETIMEDOUT
constexpr int HostNotFound = 11001;     // WSAHOST_NOT_FOUND
constexpr int Reset = 10054;            // WSAECONNRESET

// The Windows Sockets number for a Qt socket error.
int WsaCode(QAbstractSocket::SocketError error);
// The system's text for a Windows Sockets number (the English Windows text).
QString WsaMessage(int code);
// "Windows socket error: %s (%d), on API '%s'".
QString WindowsSocketError(int code, const QString& api);
// "Asynchronous socket error %d".
QString AsynchronousError(int code);

} // namespace SocketErrors
