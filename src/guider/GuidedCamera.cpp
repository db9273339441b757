#include "GuidedCamera.h"

#include "camera/AutomationError.h"
#include "guider/IGuider.h"

GuidedCamera::GuidedCamera(std::unique_ptr<ICamera> camera, std::shared_ptr<IGuider> guider)
    : m_camera(std::move(camera)), m_guider(std::move(guider))
{
}

GuidedCamera::~GuidedCamera() = default;

float GuidedCamera::GuiderXStarPosition() { return guider().XStarPosition(); }
float GuidedCamera::GuiderYStarPosition() { return guider().YStarPosition(); }
void GuidedCamera::GuiderMoveStar(float x, float y) { guider().MoveStar(x, y); }
float GuidedCamera::GuiderXError() { return guider().XError(); }
float GuidedCamera::GuiderYError() { return guider().YError(); }
quint64 GuidedCamera::GuidingInterruptions() { return m_guider ? m_guider->Interruptions() : 0; }

void GuidedCamera::Release()
{
    m_camera->Release();   // may throw: then both are still held
    m_guider.reset();
}

IGuider& GuidedCamera::guider() const
{
    if (!m_guider)
        throw AutomationError(QStringLiteral("The camera object has been released"));
    return *m_guider;
}
