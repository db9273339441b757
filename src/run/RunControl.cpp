#include "run/RunControl.h"

#include "camera/StopRequest.h"
#include "platform/PumpMessages.h"
#include "run/RunSteps.h"

#include <QCoreApplication>

RunControl::RunControl(RunState& state, RunHost& host, QObject* parent)
    : QObject(parent), m_state(state), m_host(host)
{
    // Created armed with the default second; its first tick only disarms it.
    m_timerWait.setTimerType(Qt::PreciseTimer);
    m_timerWait.setInterval(1000);
    connect(&m_timerWait, &QTimer::timeout, this, &RunControl::TimerWaitTimer);
    m_timerWait.start();
    // The drivers' own waits (an INDI or PHD2 request) end on a stop too;
    // outside a run (connecting, say) an old stop flag stops nothing.
    StopRequest::Install([&state] { return state.Running && state.StopRequested; });
}

RunControl::~RunControl()
{
    StopRequest::Install({});
}

void RunControl::TimerWaitTimer()
{
    m_timerWait.stop();
}

void RunControl::WaitMs(int ms)
{
    if (m_timerWait.isActive()) {
        // Refused, but not silent: a loop of refused waits must still let
        // Stop and the timer's tick through.
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return;
    }
    m_timerWait.start(qMax(0, ms));
    while (m_timerWait.isActive()) {
        // Block for events unless a stop is already pending, in which case a
        // single non-blocking pass is all the wait may do.
        QCoreApplication::processEvents(m_state.StopRequested
                ? QEventLoop::AllEvents
                : QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        if (m_state.StopRequested)
            m_timerWait.stop();
    }
}

void RunControl::PumpMessages()
{
    ::PumpMessages();
}

void RunControl::WaitForEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void RunControl::StopButtonClick()
{
    m_host.SetRunStatusText(QStringLiteral("User break"));
    ::PumpMessages();
    m_state.StopRequested = true;
}

void RunControl::BeginRun()
{
    RunSteps::Open(m_host);
}

void RunControl::EndRun()
{
    RunSteps::Close(m_host);
}
