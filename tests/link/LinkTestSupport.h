#pragma once
// Helpers for the socket tests: free loopback ports chosen at run time.
#include <QHostAddress>
#include <QTcpServer>

// A port on 127.0.0.1 that was free a moment ago.
inline int FreePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}
