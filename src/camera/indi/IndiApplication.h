#pragma once
// IndiApplication: the application object bound to an INDI server.
// Creating it connects to the server (IndiHost, IndiPort) and asks for every
// property; CCDCamera() waits until the server has defined the configured
// camera and wheel devices. The camera objects share the one connection;
// Release() closes it.
#include "camera/IMaxImApplication.h"
#include "camera/indi/IndiSettings.h"

#include <memory>

class IndiClient;

class IndiApplication : public IMaxImApplication {
public:
    // Throws AutomationError naming the host, the port and the reason when
    // the server cannot be reached.
    explicit IndiApplication(const IndiSettings& settings);
    ~IndiApplication() override;

    // Throws AutomationError when the server has no such device (within
    // IndiReplyTimeout), listing the devices it has.
    std::unique_ptr<ICamera> CCDCamera() override;
    void Release() override;

    IndiClient& Client() { return *m_client; }

private:
    IndiSettings m_settings;
    std::shared_ptr<IndiClient> m_client;
};
