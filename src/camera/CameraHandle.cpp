#include "CameraHandle.h"

#include "camera/AutomationError.h"

ICamera& CameraHandle::target() const
{
    if (!m_camera)
        throw AutomationError(QStringLiteral("The camera object has been released"));
    return *m_camera;
}
