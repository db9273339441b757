#pragma once
// PeerLink: the TCP link between the main PC and the second PC, owned by the
// main window. The main PC listens (ServerSocket) and sends "Expose n",
// "Abort" and "End" to its first connection; the second PC connects
// (ClientSocket) on the user's command and turns what it receives into the
// run flags. With the extension on (Hub().SetEnabled), every second PC that
// greeted gets the commands as lines with the main PC's place, and its
// reports are kept by the hub; a first connection that did not greet still
// gets exactly the bare bytes (SyncProtocol). Everything runs on the UI thread; no call here blocks, waits or
// processes events, and no failure on the link interrupts a run: failures
// show as text in the status panel (the two exceptions, "No address
// specified" and "Asynchronous socket error %d", go to the standard error box).
//
// The handlers named after the sockets are connected to the sockets' events
// by the constructor; the window calls only the button handlers, SendToPeer
// and the listener operations.
#include "link/ClientSocket.h"
#include "link/CommandReader.h"
#include "link/SecondSync.h"
#include "link/ServerSocket.h"
#include "link/SyncHub.h"
#include "platform/RunState.h"

#include <QObject>

class PeerLinkHost;
class QTcpSocket;

class PeerLink : public QObject {
    Q_OBJECT
public:
    // 'host' and 'state' must outlive the link.
    PeerLink(PeerLinkHost& host, RunState& state, QObject* parent = nullptr);
    ~PeerLink() override;

    // Start-up of the main PC: closes the client socket, opens the listener on
    // 'port' (a failure is ignored) and shows "Listening for connect..."
    // whether or not that worked. Greying the second PC's controls is the
    // window's part.
    void OpenListener(int port);
    // After an edit of the setup file name, address or port (either role):
    // closes the listener, dropping its connections, and opens it on 'port'.
    // Failures are swallowed; the status text is not changed.
    void RestartListener(int port);
    // Window close: closes the listener and then the client socket, ignoring
    // failures.
    void CloseAll();

    // Main PC: writes the bare command bytes to the listener's first
    // connection (unless it is an extended peer), never waiting; with the
    // extension on, every extended peer gets the command as a line. Returns true when it was handed to the
    // socket; otherwise shows the failure in the status panel and returns
    // false ("Socket not connected", "List index out of bounds (0)",
    // "Windows socket error: %s (%d), on API 'send'"). Nothing is queued or
    // retried.
    bool SendToPeer(const QString& command);

    // Second PC's buttons.
    void ConnectIpButtonClick();
    void DisconnectIpButtonClick();

    // Socket events (public so the window's wiring tests can reach them).
    void ServerSocketAccept(QTcpSocket* connection);
    void ServerSocketClientDisconnect(QTcpSocket* connection);
    void ServerSocketClientRead(QTcpSocket* connection);
    void ClientSocketConnecting();
    void ClientSocketConnect();
    void ClientSocketDisconnect();
    void ClientSocketError(int wsaCode);
    void ClientSocketRead();

    ServerSocket& Server() { return m_server; }
    ClientSocket& Client() { return m_client; }
    const CommandReader& Reader() const { return m_second.Commands(); }
    SyncHub& Hub() { return m_hub; }
    SecondSync& Second() { return m_second; }
    // The clock of the extension's times on both sides (steady ms by default).
    void SetClock(const std::function<qint64()>& nowMs);

    // A connection to the main PC holding more than this many unsent bytes is
    // not keeping up (or is gone): further commands fail with WSAEWOULDBLOCK
    // instead of growing the send buffer.
    static constexpr qint64 MaxUnsentBytes = 64 * 1024;

private:
    void WriteExtended(quintptr id, QByteArrayView bytes);

    PeerLinkHost& m_host;
    RunState& m_state;
    ServerSocket m_server;
    ClientSocket m_client;
    SyncHub m_hub;
    SecondSync m_second;
};
