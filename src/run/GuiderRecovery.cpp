#include "run/GuiderRecovery.h"

#include "camera/ICamera.h"
#include "camera/StopRequest.h"
#include "platform/Error.h"
#include "platform/RunState.h"
#include "run/NightLog.h"
#include "run/RunHost.h"
#include "run/RunSteps.h"
#include "run/RunWaiter.h"
#include "sequence/TSequence.h"

#include <cmath>

GuiderRecovery::GuiderRecovery(RunHost& host, RunWaiter& waiter, NightLog& log)
    : m_host(host), m_waiter(waiter), m_log(log)
{
}

qint64 GuiderRecovery::BoundMs() const { return qint64(m_log.Options().GuiderWaitMinutes) * 60000; }

qint64 GuiderRecovery::ElapsedMs(qint64 sinceMs) const { return m_waiter.NowUtc().toMSecsSinceEpoch() - sinceMs; }

bool GuiderRecovery::Stopping() const { return m_host.RunFlags().StopRequested; }

void GuiderRecovery::GiveUp(const QString& what, qint64 waitedMs)
{
    const QString minutes = QString::number(waitedMs / 60000.0, 'g', 3);
    if (m_log.Options().GuiderLost == NightOptions::GuiderLostAction::Stop)
        throw Error(QStringLiteral("%1 after waiting %2 min for the guider; the run stops").arg(what).arg(minutes));
    m_log.Event(QStringLiteral("%1 after waiting %2 min for the guider; going on without it").arg(what).arg(minutes));
}

void GuiderRecovery::Dither(const std::function<void(qint64)>& dither)
{
    if (!m_log.Options().Retry) {
        dither(-1);
        return;
    }
    const qint64 start = m_waiter.NowUtc().toMSecsSinceEpoch();
    // Once given up, a later dither gets a minute: enough for a guider that works.
    const qint64 bound = m_gaveUp ? std::min<qint64>(60000, BoundMs()) : BoundMs();
    bool failed = false;
    for (;;) {
        try {
            dither(std::max<qint64>(0, bound - ElapsedMs(start)));
            if (failed || m_gaveUp)
                m_log.Event(QStringLiteral("The guider is back: dithered"));
            m_gaveUp = false;
            return;
        } catch (const StopRequestedError&) {
            throw;
        } catch (const Error& e) {
            if (Stopping())
                return;
            if (!failed)
                m_log.Event(QStringLiteral("Dither failed: %1").arg(e.message()));
            failed = true;
            if (ElapsedMs(start) >= bound) {
                m_gaveUp = true;
                GiveUp(QStringLiteral("No dither"), bound);
                return;
            }
        }
        m_host.SetRunStatusText(QStringLiteral("Waiting for the guider"));
        m_waiter.WaitMs(int(std::min<qint64>(PollMs, std::max<qint64>(1, bound - ElapsedMs(start)))));
        if (Stopping())
            return;
    }
}

bool GuiderRecovery::WaitForGuiding()
{
    ICamera& camera = RunSteps::Camera(m_host);
    const qint64 start = m_waiter.NowUtc().toMSecsSinceEpoch();
    m_host.SetRunStatusText(QStringLiteral("Waiting for the guider"));
    for (;;) {
        const float threshold = float(m_host.RunSequence().WhileGuideError.ToDouble());
        try {
            if (std::fabs(camera.GuiderXError()) <= threshold && std::fabs(camera.GuiderYError()) <= threshold)
                return true;
        } catch (const StopRequestedError&) {
            throw;
        } catch (const Error&) {
            // Gone for now: PHD2 may come back within the bound. Asking for
            // the star's position connects to it again (the errors do not).
            try {
                camera.GuiderXStarPosition();
            } catch (const StopRequestedError&) {
                throw;
            } catch (const Error&) {
            }
        }
        if (Stopping())
            return false;
        if (ElapsedMs(start) >= BoundMs()) {
            GiveUp(QStringLiteral("Guiding did not resume"), BoundMs());
            return false;
        }
        m_waiter.WaitMs(GuidePollMs);
    }
}
