#include "TestApplication.h"

#include "TestCamera.h"
#include "TestCameraServer.h"

TestApplication::TestApplication(TestCameraServer& server) : m_server(server) { ++m_server.LiveApplications; }

TestApplication::~TestApplication()
{
    if (m_live)
        --m_server.LiveApplications;
}

std::unique_ptr<ICamera> TestApplication::CCDCamera()
{
    m_server.Enter("CCDCamera");
    return std::make_unique<TestCamera>(m_server);
}

void TestApplication::Release()
{
    m_server.Enter("ReleaseApplication");
    if (m_live) {
        m_live = false;
        --m_server.LiveApplications;
    }
}
