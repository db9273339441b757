#include "SimulatorSettings.h"

#include "platform/IniFile.h"

namespace {
const QString kSection = QStringLiteral("Camera");

int readInt(const IniFile& ini, const QString& key, int def, int lo, int hi)
{
    const int v = ini.ReadInteger(kSection, key, def);
    return v < lo || v > hi ? def : v;
}

double readFloat(const IniFile& ini, const QString& key, double def, double lo, double hi)
{
    const double v = ini.ReadFloat(kSection, key, def);
    return !(v >= lo && v <= hi) ? def : v;
}
}

SimulatorSettings SimulatorSettings::FromIni(const IniFile& ini)
{
    SimulatorSettings s;
    const QString filters = ini.ReadString(kSection, QStringLiteral("Filters"), QString());
    QStringList names;
    for (const QString& part : filters.split(',')) {
        const QString name = part.trimmed();
        if (!name.isEmpty())
            names << name;
    }
    if (!names.isEmpty())
        s.Filters = names;
    s.SensorWidth = readInt(ini, "SensorWidth", s.SensorWidth, 16, 16384);
    s.SensorHeight = readInt(ini, "SensorHeight", s.SensorHeight, 16, 16384);
    s.PixelScale = readFloat(ini, "PixelScale", s.PixelScale, 0.01, 100.0);
    s.Seeing = readFloat(ini, "Seeing", s.Seeing, 0.1, 60.0);
    s.TimeScale = readFloat(ini, "TimeScale", s.TimeScale, 0.0, 1000.0);
    s.StarCount = readInt(ini, "StarCount", s.StarCount, 0, 100000);
    s.SkyLevel = readFloat(ini, "SkyLevel", s.SkyLevel, 0.0, 10000.0);
    s.ReadNoise = readFloat(ini, "ReadNoise", s.ReadNoise, 0.0, 1000.0);
    s.Bias = readInt(ini, "Bias", s.Bias, 0, 30000);
    s.FieldSeed = ini.ReadInteger(kSection, "FieldSeed", s.FieldSeed);
    s.GuiderSettle = readFloat(ini, "GuiderSettle", s.GuiderSettle, 0.0, 600.0);
    s.GuiderNoise = readFloat(ini, "GuiderNoise", s.GuiderNoise, 0.0, 10.0);
    s.PixelSize = readFloat(ini, "PixelSize", s.PixelSize, 0.1, 100.0);
    s.SetTemperature = readFloat(ini, "SetTemperature", s.SetTemperature, -100.0, 50.0);
    s.Gain = readInt(ini, "Gain", s.Gain, 0, 10000);
    s.Offset = readInt(ini, "Offset", s.Offset, 0, 10000);
    const QString instrument = ini.ReadString(kSection, "Instrument", QString()).trimmed();
    if (!instrument.isEmpty())
        s.Instrument = instrument;
    return s;
}
