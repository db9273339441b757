#pragma once
// GuidedApplication: the application object of a camera driver combined
// with a separate guider. Every CCDCamera() is the driver's camera with the
// guider's operations (GuidedCamera); all cameras share the one guider, and
// getting a camera starts the guider's connection without waiting for it.
#include "camera/IMaxImApplication.h"

#include <memory>

class IGuider;

class GuidedApplication : public IMaxImApplication {
public:
    GuidedApplication(std::unique_ptr<IMaxImApplication> application, std::shared_ptr<IGuider> guider);
    ~GuidedApplication() override;

    std::unique_ptr<ICamera> CCDCamera() override;
    void Release() override;

    IMaxImApplication& Driver() const { return *m_application; }
    IGuider& Guider() const { return *m_guider; }

private:
    std::unique_ptr<IMaxImApplication> m_application;
    std::shared_ptr<IGuider> m_guider;
};
