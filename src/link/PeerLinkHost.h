#pragma once
// PeerLinkHost: what the peer link needs from the main window. The window
// implements it; tests use a fake. All calls come on the UI thread and none
// may wait or process events (they run inside socket events).
#include <QString>

class PeerLinkHost {
public:
    virtual ~PeerLinkHost() = default;

    // Panel 0 of the status bar, the link's own status line.
    virtual void SetStatusText(const QString& text) = 0;
    // The main PC's address as typed by the user (PeerAddress).
    virtual QString PeerAddress() const = 0;
    // The port (PeerPort).
    virtual int PeerPort() const = 0;
    // The second PC's controls: linked == true disables "Connect to main PC",
    // Ip2Edit and PortEdit and enables "Disconnect from main"; false the reverse.
    virtual void SetLinkControls(bool linked) = 0;
    // The application's standard error box (message, full stop added, the
    // application title, error icon). Called only from a queued call or a
    // button handler, never from inside a socket event, so it may be modal.
    virtual void ShowStandardError(const QString& message) = 0;
};
