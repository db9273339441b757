#pragma once
// RunControl: the mechanisms every sequence run stands on, and the window's
// RunWaiter.
//
// A run holds the UI thread inside the Start button's click handler and keeps
// the window alive only while it waits. WaitMs(ms) is that wait: it arms the
// one-shot TimerWait and processes events (blocking on them, so an idle wait
// costs no CPU) until the timer fires or a stop is requested. Contract:
//  - if TimerWait is already armed (another wait further up the call chain,
//    or the first second after start-up) WaitMs does one non-blocking pass of
//    event processing and returns: nested waits do not queue, and a polling
//    loop built on WaitMs still delivers Stop and the timer's own tick;
//  - a stop requested before or during the wait ends it after one pass of
//    event processing;
//  - the wait never ends before its interval otherwise (a precise timer).
#include "platform/RunState.h"
#include "run/RunHost.h"
#include "run/RunWaiter.h"

#include <QObject>
#include <QTimer>

class RunControl : public QObject, public RunWaiter {
    Q_OBJECT
public:
    // Installs the drivers' stop check (StopRequest) for its life.
    RunControl(RunState& state, RunHost& host, QObject* parent = nullptr);
    ~RunControl() override;

    void WaitMs(int ms) override;
    // Three non-blocking passes of event processing.
    void PumpMessages() override;
    // Sleeps until an event comes and handles what is pending then.
    void WaitForEvents() override;
    bool TimerWaitEnabled() const { return m_timerWait.isActive(); }

    // "User break" in the status line, one pump, then the stop flag. Touches
    // neither the camera nor the buttons: the run notices at its next test.
    void StopButtonClick();

    // Opening steps: Running, StopRequested cleared, Start off, Stop on.
    void BeginRun();
    // Closing steps: first item row, "Camera Idle", not Running, Start on, Stop off.
    void EndRun();

private:
    void TimerWaitTimer();

    RunState& m_state;
    RunHost& m_host;
    QTimer m_timerWait;
};
