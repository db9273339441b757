#pragma once
// SimulatedApplication: the application object of the simulated camera
// server. Each CCDCamera() hands out a handle to the one simulated camera
// (as an automation server hands out references to one object), so a
// reconnection finds the camera as it was left.
#include "camera/IMaxImApplication.h"
#include "camera/simulator/SimulatorSettings.h"

#include <memory>

class CameraClock;
class SimulatedCamera;

class SimulatedApplication : public IMaxImApplication {
public:
    SimulatedApplication(const SimulatorSettings& settings, std::shared_ptr<const CameraClock> clock);
    ~SimulatedApplication() override;

    std::unique_ptr<ICamera> CCDCamera() override;
    void Release() override {}

    // The camera itself, for tests and the benchmark.
    SimulatedCamera& Camera() { return *m_camera; }

private:
    std::shared_ptr<SimulatedCamera> m_camera;
};
