#pragma once
// The opening and closing steps every sequence run shares.
class ICamera;
class RunHost;

namespace RunSteps {
// Running set, StopRequested cleared, Start disabled, Stop enabled.
void Open(RunHost& host);
// Row 1 of the grid, "Camera Idle", Running cleared, Start enabled, Stop disabled.
void Close(RunHost& host);
// The connected camera; AutomationError when there is none.
ICamera& Camera(RunHost& host);
}
