#include "NoGuider.h"

#include "camera/AutomationError.h"

void NoGuider::fail() const
{
    throw AutomationError(QStringLiteral("No guider is configured (settings file %1, section [Guider], "
                                         "Driver=None); dithering needs Driver=Camera or Driver=PHD2")
                              .arg(m_settingsPath));
}
