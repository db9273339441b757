#include "GuiderBinding.h"

#include "camera/AutomationError.h"
#include "guider/GuidedApplication.h"
#include "guider/GuiderSettings.h"
#include "guider/GuiderStatus.h"
#include "guider/NoGuider.h"
#include "guider/phd2/Phd2Client.h"
#include "guider/phd2/Phd2Guider.h"

std::unique_ptr<IMaxImApplication> WithConfiguredGuider(std::unique_ptr<IMaxImApplication> application,
                                                        const GuiderSettings& settings,
                                                        const QString& settingsPath)
{
    switch (settings.Driver) {
    case GuiderSettings::Kind::Camera:
        GuiderStatus::Instance().Set(QString());
        return application;
    case GuiderSettings::Kind::None:
        GuiderStatus::Instance().Set(QString());
        return std::make_unique<GuidedApplication>(std::move(application), std::make_shared<NoGuider>(settingsPath));
    case GuiderSettings::Kind::Phd2: {
        auto client = Phd2Client::Create(settings.Phd2Host, settings.Phd2Port(), settings.ConnectTimeoutMs(),
                                         settings.ReplyTimeoutMs());
        GuiderStatus::Instance().Follow(*client);
        return std::make_unique<GuidedApplication>(std::move(application), std::make_shared<Phd2Guider>(client));
    }
    case GuiderSettings::Kind::Unknown:
        break;
    }
    try {
        application->Release();
    } catch (const AutomationError&) {
        // The guider error below is the one the user needs to see.
    }
    throw AutomationError(QStringLiteral("Guider driver \"%1\" is not available (settings file %2, section [Guider], "
                                         "key Driver); use \"Camera\", \"PHD2\" or \"None\"")
                              .arg(settings.DriverText, settingsPath));
}
