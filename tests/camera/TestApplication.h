#pragma once
// TestApplication: the application object of a TestCameraServer.
#include "camera/IMaxImApplication.h"

class TestCameraServer;

class TestApplication : public IMaxImApplication {
public:
    explicit TestApplication(TestCameraServer& server);
    ~TestApplication() override;
    std::unique_ptr<ICamera> CCDCamera() override;
    void Release() override;

private:
    TestCameraServer& m_server;
    bool m_live = true;
};
