#include "run/MainRunSync.h"

#include "link/SyncHub.h"
#include "platform/RunState.h"
#include "run/DitherGuard.h"
#include "run/NightRecord.h"
#include "run/RunHost.h"
#include "run/RunWaiter.h"
#include "sequence/TSequence.h"

MainRunSync::MainRunSync(RunHost& host, RunWaiter& waiter) : m_host(host), m_waiter(waiter) {}

bool MainRunSync::On() const
{
    const SyncHub* hub = m_host.RunSyncHub();
    return hub && hub->Enabled();
}

qint64 MainRunSync::WindowMs(const TSequenceItem& item, qint64 framesLeft) const
{
    return qMax<qint64>(0, framesLeft) * m_times.Estimate(item.Exposure)
           + qMax<qint64>(0, m_host.RunSequence().DelayFrame) * 1000;
}

void MainRunSync::ItemStarting(qint64 pass, int row, const TSequenceItem& item)
{
    if (On())
        m_host.RunSyncHub()->SetPlace({WindowMs(item, item.Repeat), pass, row, item.Repeat > 0 ? 1 : 0, m_dithers});
}

void MainRunSync::FrameStarted(qint64 pass, int row, qint64 frame, const TSequenceItem& item)
{
    if (!On())
        return;
    SyncHub& hub = *m_host.RunSyncHub();
    m_times.Started(hub.NowMs(), item.Exposure);
    hub.AnnounceFrame({WindowMs(item, item.Repeat - frame + 1), pass, row, frame, m_dithers});
}

void MainRunSync::FrameEnded()
{
    if (On())
        m_times.Ended(m_host.RunSyncHub()->NowMs());
}

QVariantMap MainRunSync::Keys(qint64 pass, int row, qint64 frame) const
{
    if (!On())
        return {};
    return {{QStringLiteral("MAINPASS"), pass},
            {QStringLiteral("MAINITEM"), row},
            {QStringLiteral("MAINFRM"), frame},
            {QStringLiteral("DITHERS"), m_dithers}};
}

void MainRunSync::Record(const QString& event)
{
    const QDateTime now = m_waiter.NowUtc();
    m_host.RunNightEvent(now, event);   // listed on the Night page too
    NightRecord record(m_host.RunSequence().DestDir, [now] { return now; });
    if (!record.Append(event))
        m_host.RunSyncHub()->SetNote(record.Error());
}

void MainRunSync::Dither(const std::function<void()>& dither)
{
    if (!On()) {
        dither();
        return;
    }
    SyncHub& hub = *m_host.RunSyncHub();
    const int number = m_dithers + 1;
    const DitherGuard::Outcome held = DitherGuard(m_host, m_waiter, hub).Wait();
    const QString seconds = QString::number(double(held.WaitedMs) / 1000.0, 'f', 3);
    if (m_host.RunFlags().StopRequested) {
        if (held.Shown)
            Record(QStringLiteral("Dither %1 not started: stopped after %2 s waiting for the second cameras").arg(number).arg(seconds));
        return;
    }
    if (held.Shown)
        Record(QStringLiteral("Dither %1 held %2 s for the second cameras").arg(number).arg(seconds));
    for (const QString& note : held.Notes)
        Record(QStringLiteral("Dither %1: %2").arg(number).arg(note));
    if (!held.Notes.isEmpty())
        hub.SetNote(held.Notes.last());
    Record(QStringLiteral("Dither %1 started").arg(number));
    dither();
    m_dithers = number;
    Record(m_host.RunFlags().StopRequested ? QStringLiteral("Dither %1 stopped").arg(number)
                                           : QStringLiteral("Dither %1 settled").arg(number));
}
