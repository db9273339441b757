#include "run/RunSteps.h"

#include "camera/AutomationError.h"
#include "platform/RunState.h"
#include "run/RunHost.h"

namespace RunSteps {

void Open(RunHost& host)
{
    RunState& flags = host.RunFlags();
    flags.Running = true;
    flags.StopRequested = false;
    host.SetStartEnabled(false);
    host.SetStopEnabled(true);
}

void Close(RunHost& host)
{
    host.SelectGridRow(1);
    host.SetRunStatusText(QStringLiteral("Camera Idle"));
    host.RunFlags().Running = false;
    host.SetStartEnabled(true);
    host.SetStopEnabled(false);
}

ICamera& Camera(RunHost& host)
{
    ICamera* camera = host.RunCamera();
    if (!camera)
        throw AutomationError(QStringLiteral("The camera is not connected"));
    return *camera;
}

}
