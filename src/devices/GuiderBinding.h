#pragma once
// Binding the guider chosen in the settings file's section "Guider" (see
// GuiderSettings) to the application object a camera driver made:
// "Camera" keeps the driver's own guider and returns `application` as it is;
// "PHD2" and "None" wrap it in a GuidedApplication. An unknown driver
// releases `application` and throws AutomationError naming the driver and
// the settings file.
#include <QString>
#include <memory>

class IMaxImApplication;
struct GuiderSettings;

std::unique_ptr<IMaxImApplication> WithConfiguredGuider(std::unique_ptr<IMaxImApplication> application,
                                                        const GuiderSettings& settings,
                                                        const QString& settingsPath);
