#include "DeviceFactory.h"

#include "camera/AutomationError.h"
#include "camera/indi/IndiApplication.h"
#include "devices/GuiderBinding.h"
#include "guider/GuiderSettings.h"
#include "camera/simulator/SimulatedApplication.h"
#include "camera/simulator/SimulatorSettings.h"
#include "camera/SteadyCameraClock.h"
#include "platform/IniFile.h"
#include "platform/ProgramDir.h"

std::unique_ptr<IMaxImApplication> CreateMaxImApplication()
{
    return CreateMaxImApplication(ProgramFile(QStringLiteral("Tandexa.ini")));
}

namespace {
// The application object of the camera driver named in [Camera] Driver.
std::unique_ptr<IMaxImApplication> createCameraDriver(const IniFile& ini, const QString& settingsPath)
{
    const QString driver = ini.ReadString("Camera", "Driver", "Simulator").trimmed();
    if (driver.compare(QLatin1String("Simulator"), Qt::CaseInsensitive) == 0) {
        return std::make_unique<SimulatedApplication>(SimulatorSettings::FromIni(ini),
                                                      std::make_shared<SteadyCameraClock>());
    }
    if (driver.compare(QLatin1String("INDI"), Qt::CaseInsensitive) == 0)
        return std::make_unique<IndiApplication>(IndiSettings::FromIni(ini));
    throw AutomationError(QStringLiteral("Camera driver \"%1\" is not available (settings file %2, "
                                         "section [Camera], key Driver); this build offers \"Simulator\" and \"INDI\"")
                              .arg(driver, settingsPath));
}
}

std::unique_ptr<IMaxImApplication> CreateMaxImApplication(const QString& settingsPath)
{
    const IniFile ini(settingsPath);
    return WithConfiguredGuider(createCameraDriver(ini, settingsPath), GuiderSettings::FromIni(ini), settingsPath);
}
