#include "GuidedApplication.h"

#include "guider/GuidedCamera.h"
#include "camera/ICamera.h"
#include "guider/IGuider.h"

GuidedApplication::GuidedApplication(std::unique_ptr<IMaxImApplication> application, std::shared_ptr<IGuider> guider)
    : m_application(std::move(application)), m_guider(std::move(guider))
{
}

GuidedApplication::~GuidedApplication() = default;

std::unique_ptr<ICamera> GuidedApplication::CCDCamera()
{
    auto camera = std::make_unique<GuidedCamera>(m_application->CCDCamera(), m_guider);
    m_guider->Open();
    return camera;
}

void GuidedApplication::Release()
{
    m_application->Release();
}
