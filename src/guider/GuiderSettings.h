#pragma once
// GuiderSettings: which guider answers the camera interface's guider
// operations, read from the settings file's section "Guider":
//  "Driver"        "Camera" (default: the camera driver's own guider),
//                  "PHD2" (PHD2's event server) or "None" (no guider: the
//                  guider operations fail with a clear message);
//  "Phd2Host"      host running PHD2 (default localhost);
//  "Phd2Instance"  PHD2 instance, 1 and up (default 1); the port is
//                  4400 + instance - 1;
//  "ConnectTimeout" seconds to wait for PHD2 to accept a connection (default 5);
//  "ReplyTimeout"   seconds to wait for PHD2's answer to a request (default 10).
// A missing or unusable value gives the default; an unknown driver is kept as
// written so the factory can name it in its error.
#include <QString>

class IniFile;

struct GuiderSettings {
    enum class Kind { Camera, Phd2, None, Unknown };

    Kind Driver = Kind::Camera;
    QString DriverText = QStringLiteral("Camera");  // as written in the file
    QString Phd2Host = QStringLiteral("localhost");
    int Phd2Instance = 1;
    double ConnectTimeout = 5.0;
    double ReplyTimeout = 10.0;

    // Port of the instance's event server.
    quint16 Phd2Port() const { return quint16(4400 + Phd2Instance - 1); }
    int ConnectTimeoutMs() const { return int(ConnectTimeout * 1000.0 + 0.5); }
    int ReplyTimeoutMs() const { return int(ReplyTimeout * 1000.0 + 0.5); }

    static GuiderSettings FromIni(const IniFile& ini);
};
