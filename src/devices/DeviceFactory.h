#pragma once
// Creating the application object ("MaxIm.Application"). The driver is chosen
// by the settings file Tandexa.ini beside the program, section "Camera", key
// "Driver": "Simulator" (the default) gives the simulated camera configured
// by the same section (see SimulatorSettings); "INDI" drives an INDI server's
// camera and filter wheel (see IndiSettings). Any other driver throws
// AutomationError naming the driver and the file, so the connection shows its
// usual failure and nothing else changes. Section "Guider" then chooses who
// answers the guider operations (see GuiderSettings and GuiderBinding).
#include "camera/IMaxImApplication.h"

#include <QString>
#include <memory>

// Reads ProgramFile("Tandexa.ini").
std::unique_ptr<IMaxImApplication> CreateMaxImApplication();
// Reads the given settings file (missing file: all defaults).
std::unique_ptr<IMaxImApplication> CreateMaxImApplication(const QString& settingsPath);
