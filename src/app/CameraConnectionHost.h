#pragma once
// CameraConnectionHost: what the camera connection needs from the main
// window: its four run buttons, the Running flag, the message-pumping wait
// and the filter-name list the window owns.
#include <QStringList>

class CameraConnectionHost {
public:
    virtual ~CameraConnectionHost() = default;

    virtual void SetConnectEnabled(bool enabled) = 0;     // "Connect MaxIm"
    virtual void SetDisconnectEnabled(bool enabled) = 0;  // "Disconnect MaxIm"
    virtual void SetStartEnabled(bool enabled) = 0;       // "Start sequence"
    virtual void SetStopEnabled(bool enabled) = 0;        // "Stop sequence"
    virtual bool IsRunning() const = 0;                   // a sequence run is in progress
    // Waits `ms` milliseconds while processing window messages; returns
    // early when a stop has been requested.
    virtual void WaitMs(int ms) = 0;
    virtual QStringList& FilterList() = 0;
};
