#include "run/SecondSequenceRun.h"

#include "camera/ICamera.h"
#include "link/SecondSync.h"
#include "platform/Error.h"
#include "platform/RunState.h"
#include "run/RunHost.h"
#include "run/RunSteps.h"
#include "run/RunWaiter.h"
#include "sequence/TSequence.h"

#include <QFileInfo>

void SecondSequenceRun::Run()
{
    RunSteps::Open(m_host);
    m_exposeBudget = 0;   // a command received before Start stays pending
    try {
        for (qint64 i = Seq().StartIteration; i <= Seq().Iterations && !Stopping(); ++i) {
            for (int k = 0; k < Seq().Items.size() && !Stopping(); ++k)
                RunItem(i, k);
        }
    } catch (const Error& e) {
        ReportFailure(e);
    }
    RunSteps::Close(m_host);
}

void SecondSequenceRun::RunItem(qint64 iteration, int k)
{
    const TSequenceItem item = BeginItem(k);
    for (qint64 j = 1; j <= item.Repeat && !Stopping(); ++j) {
        if (!RunFrame(iteration, item, j))
            break;
    }
}

bool SecondSequenceRun::RunFrame(qint64 iteration, const TSequenceItem& item, qint64 j)
{
    const Frame frame = FrameFor(iteration, item, j);
    if (QFileInfo::exists(frame.Path)) {
        Tell(FrameEvent::Kind::Skipped, frame, item);
        return true;
    }
    if (MustWait(item))
        WaitForRemoteStart();
    if (SecondSync* sync = Sync())
        sync->Committing();
    if (!Stopping())
        Status(QStringLiteral("Exposing ") + frame.FileName);
    m_waiter.PumpMessages();
    // Started even after a stop ended the wait; it is aborted in Shoot.
    if (Shoot(frame, item, false) == Shot::StartFailed)
        return false;   // ExposeReceived stays: the next waiting frame starts on it
    m_host.RunFlags().ExposeReceived = false;
    return true;
}

bool SecondSequenceRun::MayReplaceAppeared(const Frame& frame)
{
    m_log.Event(frame.FileName + QStringLiteral(" appeared during its exposure; kept, and the new image not saved"));
    return false;
}

void SecondSequenceRun::WaitForRemoteStart()
{
    Status(QStringLiteral("Waiting for remote start..."));
    const RunState& flags = m_host.RunFlags();
    while (!flags.ExposeReceived && !flags.StopRequested)
        m_waiter.WaitForEvents();
    m_exposeBudget = flags.ExposeSeconds;
}

void SecondSequenceRun::ExposureStarted(const Frame& frame, const TSequenceItem& item)
{
    Q_UNUSED(frame);
    m_exposeBudget -= item.Exposure;
    m_placeKeys = PlaceKeys();
    if (SecondSync* sync = Sync())
        m_times.Started(sync->NowMs(), item.Exposure);
}

void SecondSequenceRun::FrameSaved()
{
    if (SecondSync* sync = Sync())
        m_times.Ended(sync->NowMs());
    Status(QString());
}

SecondSync* SecondSequenceRun::Sync() const
{
    return m_host.RunSecondSync();
}

bool SecondSequenceRun::MustWait(const TSequenceItem& item) const
{
    if (!Seq().AllowList)
        return true;
    const SecondSync* sync = Sync();
    if (sync && sync->Extended())
        return !sync->WindowHolds(m_times.Estimate(item.Exposure));
    return item.Exposure > m_exposeBudget;
}

QVariantMap SecondSequenceRun::PlaceKeys() const
{
    const SecondSync* sync = Sync();
    if (!sync || !sync->Extended())
        return {};
    const SyncProtocol::Place& place = sync->MainPlace();
    return {{QStringLiteral("MAINPASS"), place.Pass},
            {QStringLiteral("MAINITEM"), place.Item},
            {QStringLiteral("MAINFRM"), place.Frame},
            {QStringLiteral("DITHERS"), place.Dithers}};
}
