#pragma once
// IndiSettings: where the INDI server is and which devices to drive, read
// from the settings file's section "Camera". Missing or unusable values give
// the defaults beside each field (the Debian simulators on this machine).
#include <QString>

class IniFile;

struct IndiSettings {
    QString Host = QStringLiteral("localhost");        // "IndiHost"
    int Port = 7624;                                    // "IndiPort", 1..65535
    QString Camera = QStringLiteral("CCD Simulator");  // "IndiCamera", device name
    QString Wheel = QStringLiteral("Filter Simulator"); // "IndiWheel"; empty: the camera's own wheel
    double ConnectTimeout = 5.0;   // "IndiConnectTimeout", seconds to reach the server
    double ReplyTimeout = 10.0;    // "IndiReplyTimeout", seconds a driver has to answer a request
    double FilterTimeout = 60.0;   // "IndiFilterTimeout", seconds a filter move may take
    double ImageTimeout = 60.0;    // "IndiImageTimeout", seconds past the exposure's end for the image

    // The device whose FILTER_SLOT and FILTER_NAME are used.
    QString WheelDevice() const { return Wheel.isEmpty() ? Camera : Wheel; }

    static IndiSettings FromIni(const IniFile& ini);
};

// Seconds to whole milliseconds for timers.
inline int ToMs(double seconds) { return int(seconds * 1000.0 + 0.5); }
