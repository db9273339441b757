#include "ScriptedApplication.h"

#include "ScriptedCamera.h"
#include "ScriptedCameraServer.h"

ScriptedApplication::ScriptedApplication(ScriptedCameraServer& server) : m_server(server) { ++m_server.LiveApplications; }

ScriptedApplication::~ScriptedApplication()
{
    if (m_live)
        --m_server.LiveApplications;
}

std::unique_ptr<ICamera> ScriptedApplication::CCDCamera()
{
    m_server.Enter("CCDCamera");
    return std::make_unique<ScriptedCamera>(m_server);
}

void ScriptedApplication::Release()
{
    m_server.Enter("ReleaseApplication");
    if (m_live) {
        m_live = false;
        --m_server.LiveApplications;
    }
}
