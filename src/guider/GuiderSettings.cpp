#include "GuiderSettings.h"

#include "platform/IniFile.h"

namespace {
const QString kSection = QStringLiteral("Guider");

double readSeconds(const IniFile& ini, const QString& key, double def)
{
    const double v = ini.ReadFloat(kSection, key, def);
    return !(v >= 0.1 && v <= 3600.0) ? def : v;
}
}

GuiderSettings GuiderSettings::FromIni(const IniFile& ini)
{
    GuiderSettings s;
    const QString driver = ini.ReadString(kSection, QStringLiteral("Driver"), QString()).trimmed();
    if (!driver.isEmpty()) {
        s.DriverText = driver;
        if (driver.compare(QLatin1String("Camera"), Qt::CaseInsensitive) == 0)
            s.Driver = Kind::Camera;
        else if (driver.compare(QLatin1String("PHD2"), Qt::CaseInsensitive) == 0)
            s.Driver = Kind::Phd2;
        else if (driver.compare(QLatin1String("None"), Qt::CaseInsensitive) == 0)
            s.Driver = Kind::None;
        else
            s.Driver = Kind::Unknown;
    }
    const QString host = ini.ReadString(kSection, QStringLiteral("Phd2Host"), QString()).trimmed();
    if (!host.isEmpty())
        s.Phd2Host = host;
    const int instance = ini.ReadInteger(kSection, QStringLiteral("Phd2Instance"), s.Phd2Instance);
    if (instance >= 1 && instance <= 65535 - 4400 + 1)
        s.Phd2Instance = instance;
    s.ConnectTimeout = readSeconds(ini, QStringLiteral("ConnectTimeout"), s.ConnectTimeout);
    s.ReplyTimeout = readSeconds(ini, QStringLiteral("ReplyTimeout"), s.ReplyTimeout);
    return s;
}
