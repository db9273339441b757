#include "IndiSettings.h"

#include "platform/IniFile.h"

namespace {
const QString kSection = QStringLiteral("Camera");

double readSeconds(const IniFile& ini, const QString& key, double def)
{
    const double v = ini.ReadFloat(kSection, key, def);
    return v >= 0.05 && v <= 86400.0 ? v : def;
}
}

IndiSettings IndiSettings::FromIni(const IniFile& ini)
{
    IndiSettings s;
    const QString host = ini.ReadString(kSection, QStringLiteral("IndiHost"), s.Host).trimmed();
    if (!host.isEmpty())
        s.Host = host;
    const int port = ini.ReadInteger(kSection, QStringLiteral("IndiPort"), s.Port);
    if (port >= 1 && port <= 65535)
        s.Port = port;
    const QString camera = ini.ReadString(kSection, QStringLiteral("IndiCamera"), s.Camera).trimmed();
    if (!camera.isEmpty())
        s.Camera = camera;
    // An empty IndiWheel is meaningful: the camera's own filter wheel.
    s.Wheel = ini.ReadString(kSection, QStringLiteral("IndiWheel"), s.Wheel).trimmed();
    s.ConnectTimeout = readSeconds(ini, QStringLiteral("IndiConnectTimeout"), s.ConnectTimeout);
    s.ReplyTimeout = readSeconds(ini, QStringLiteral("IndiReplyTimeout"), s.ReplyTimeout);
    s.FilterTimeout = readSeconds(ini, QStringLiteral("IndiFilterTimeout"), s.FilterTimeout);
    s.ImageTimeout = readSeconds(ini, QStringLiteral("IndiImageTimeout"), s.ImageTimeout);
    return s;
}
