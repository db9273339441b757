#include "link/SocketErrors.h"

namespace SocketErrors {

int WsaCode(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
    case QAbstractSocket::ProxyConnectionRefusedError:
        return Refused;
    case QAbstractSocket::RemoteHostClosedError:
    case QAbstractSocket::ProxyConnectionClosedError:
        return Reset;
    case QAbstractSocket::HostNotFoundError:
    case QAbstractSocket::ProxyNotFoundError:
        return HostNotFound;
    case QAbstractSocket::SocketTimeoutError:
    case QAbstractSocket::ProxyConnectionTimeoutError:
        return TimedOut;
    case QAbstractSocket::SocketAccessError:
        return 10013; // WSAEACCES
    case QAbstractSocket::SocketResourceError:
        return 10055; // WSAENOBUFS
    case QAbstractSocket::DatagramTooLargeError:
        return 10040; // WSAEMSGSIZE
    case QAbstractSocket::NetworkError:
        return 10051; // WSAENETUNREACH
    case QAbstractSocket::AddressInUseError:
        return 10048; // WSAEADDRINUSE
    case QAbstractSocket::SocketAddressNotAvailableError:
        return AddressNotAvailable;
    case QAbstractSocket::UnsupportedSocketOperationError:
        return 10045; // WSAEOPNOTSUPP
    case QAbstractSocket::TemporaryError:
        return WouldBlock;
    case QAbstractSocket::OperationError:
        return NotConnected;
    default:
        return 10022; // WSAEINVAL: no closer Windows Sockets number
    }
}

QString WsaMessage(int code)
{
    switch (code) {
    case 10013: return QStringLiteral("An attempt was made to access a socket in a way forbidden by its access permissions");
    case WouldBlock: return QStringLiteral("A non-blocking socket operation could not be completed immediately");
    case 10040: return QStringLiteral("A message sent on a datagram socket was larger than the internal message buffer or some other network limit, or the buffer used to receive a datagram into was smaller than the datagram itself");
    case 10045: return QStringLiteral("The attempted operation is not supported for the type of object referenced");
    case 10048: return QStringLiteral("Only one usage of each socket address (protocol/network address/port) is normally permitted");
    case AddressNotAvailable: return QStringLiteral("The requested address is not valid in its context");
    case 10051: return QStringLiteral("A socket operation was attempted to an unreachable network");
    case Reset: return QStringLiteral("An existing connection was forcibly closed by the remote host");
    case 10055: return QStringLiteral("An operation on a socket could not be performed because the system lacked sufficient buffer space or because a queue was full");
    case NotConnected: return QStringLiteral("A request to send or receive data was disallowed because the socket is not connected and (when sending on a datagram socket using a sendto call) no address was supplied");
    case TimedOut: return QStringLiteral("A connection attempt failed because the connected party did not properly respond after a period of time, or established connection failed because connected host has failed to respond");
    case Refused: return QStringLiteral("No connection could be made because the target machine actively refused it");
    case HostNotFound: return QStringLiteral("No such host is known");
    default: return QStringLiteral("An invalid argument was supplied");
    }
}

QString WindowsSocketError(int code, const QString& api)
{
    return QStringLiteral("Windows socket error: %1 (%2), on API '%3'").arg(WsaMessage(code)).arg(code).arg(api);
}

QString AsynchronousError(int code)
{
    return QStringLiteral("Asynchronous socket error %1").arg(code);
}

} // namespace SocketErrors
