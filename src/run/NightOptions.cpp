#include "run/NightOptions.h"

#include "platform/IniFile.h"

#include <algorithm>

namespace {
const QString kSection = QStringLiteral("Night");

int readBounded(const IniFile& ini, const QString& key, int def, int low, int high)
{
    const int v = ini.ReadInteger(kSection, key, def);
    return v < low || v > high ? def : v;
}
}

qint64 NightOptions::PauseBeforeTryMs(int attempt) const
{
    if (attempt <= 1)
        return 0;
    qint64 ms = qint64(RetryPauseSeconds) * 1000;
    for (int i = 2; i < attempt && ms < 600000; ++i)
        ms *= 2;
    return std::min<qint64>(ms, 600000);
}

NightOptions NightOptions::FromIni(const IniFile& ini)
{
    NightOptions o;
    o.Retry = ini.ReadBool(kSection, QStringLiteral("Retry"), o.Retry);
    o.RetryTries = readBounded(ini, QStringLiteral("RetryTries"), o.RetryTries, 1, 100);
    o.RetryPauseSeconds = readBounded(ini, QStringLiteral("RetryPause"), o.RetryPauseSeconds, 1, 3600);
    o.GuiderWaitMinutes = readBounded(ini, QStringLiteral("GuiderWait"), o.GuiderWaitMinutes, 1, 1440);
    const QString lost = ini.ReadString(kSection, QStringLiteral("GuiderLost"), QString()).trimmed();
    if (lost.compare(QLatin1String("Stop"), Qt::CaseInsensitive) == 0)
        o.GuiderLost = GuiderLostAction::Stop;
    o.NoBoxes = ini.ReadBool(kSection, QStringLiteral("NoBoxes"), o.NoBoxes);
    o.RetakeLostGuiding = ini.ReadBool(kSection, QStringLiteral("RetakeLostGuiding"), o.RetakeLostGuiding);
    return o;
}

void NightOptions::Write(IniFile& ini) const
{
    ini.WriteBool(kSection, QStringLiteral("Retry"), Retry);
    ini.WriteInteger(kSection, QStringLiteral("RetryTries"), RetryTries);
    ini.WriteInteger(kSection, QStringLiteral("RetryPause"), RetryPauseSeconds);
    ini.WriteInteger(kSection, QStringLiteral("GuiderWait"), GuiderWaitMinutes);
    ini.WriteString(kSection, QStringLiteral("GuiderLost"),
                    GuiderLost == GuiderLostAction::Stop ? QStringLiteral("Stop") : QStringLiteral("Continue"));
    ini.WriteBool(kSection, QStringLiteral("NoBoxes"), NoBoxes);
    ini.WriteBool(kSection, QStringLiteral("RetakeLostGuiding"), RetakeLostGuiding);
}
