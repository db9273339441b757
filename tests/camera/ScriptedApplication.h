#pragma once
// ScriptedApplication: the application object of a ScriptedCameraServer.
#include "camera/IMaxImApplication.h"

class ScriptedCameraServer;

class ScriptedApplication : public IMaxImApplication {
public:
    explicit ScriptedApplication(ScriptedCameraServer& server);
    ~ScriptedApplication() override;
    std::unique_ptr<ICamera> CCDCamera() override;
    void Release() override;

private:
    ScriptedCameraServer& m_server;
    bool m_live = true;
};
