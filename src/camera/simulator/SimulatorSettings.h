#pragma once
// SimulatorSettings: what the simulated camera is like. Read from the
// settings file's section "Camera"; a missing or unusable value gives the
// default shown beside each field, so an empty settings file gives a
// believable camera.
#include <QStringList>

class IniFile;

struct SimulatorSettings {
    QStringList Filters {"Luminance", "Red", "Green", "Blue", "Ha", "OIII", "SII", "Clear"}; // "Filters", comma-separated
    int SensorWidth = 1536;        // "SensorWidth", pixels, 16..16384
    int SensorHeight = 1024;       // "SensorHeight", pixels, 16..16384
    double PixelScale = 1.2;       // "PixelScale", arc seconds per unbinned pixel
    double Seeing = 2.8;           // "Seeing", star FWHM in arc seconds
    double TimeScale = 1.0;        // "TimeScale", exposure and settle time factor (0 = instant)
    int StarCount = 250;           // "StarCount", stars on the full chip, 0..100000
    double SkyLevel = 40.0;        // "SkyLevel", sky ADU per second per unbinned pixel
    double ReadNoise = 9.0;        // "ReadNoise", ADU per read pixel
    int Bias = 1000;               // "Bias", ADU offset of every pixel
    int FieldSeed = 1;             // "FieldSeed", chooses the star field
    double GuiderSettle = 3.0;     // "GuiderSettle", seconds for a guider move to settle
    double GuiderNoise = 0.05;     // "GuiderNoise", guiding error noise, pixels
    QString Instrument = "Tandexa Simulator"; // "Instrument", written as INSTRUME
    double PixelSize = 3.76;       // "PixelSize", micrometres per unbinned pixel (XPIXSZ, YPIXSZ)
    double SetTemperature = -10.0; // "SetTemperature", cooler set point, deg C (SET-TEMP, CCD-TEMP)
    int Gain = 100;                // "Gain", 0..10000 (GAIN)
    int Offset = 50;               // "Offset", 0..10000 (OFFSET)

    static SimulatorSettings FromIni(const IniFile& ini);
};
