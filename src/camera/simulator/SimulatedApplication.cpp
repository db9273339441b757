#include "SimulatedApplication.h"

#include "camera/CameraHandle.h"
#include "camera/simulator/SimulatedCamera.h"

SimulatedApplication::SimulatedApplication(const SimulatorSettings& settings, std::shared_ptr<const CameraClock> clock)
    : m_camera(std::make_shared<SimulatedCamera>(settings, std::move(clock)))
{
}

SimulatedApplication::~SimulatedApplication() = default;

std::unique_ptr<ICamera> SimulatedApplication::CCDCamera()
{
    return std::make_unique<CameraHandle>(m_camera);
}
