#include "run/DitherGuard.h"

#include "link/SyncHub.h"
#include "platform/RunState.h"
#include "run/RunHost.h"
#include "run/RunWaiter.h"

#include <map>

DitherGuard::Outcome DitherGuard::Wait()
{
    Outcome outcome;
    m_hub.Hold();
    const qint64 holdMs = m_hub.NowMs();
    struct Watched {
        QString Address;
        bool FrameOpen = false;   // as last seen
    };
    std::map<quintptr, Watched> watched;
    for (const auto& peer : m_hub.Peers()) {
        if (peer->Extended && !peer->Late)
            watched.emplace(peer->Id, Watched {peer->Address, peer->FrameOpen});
    }
    bool shown = false;
    for (int pass = 0; !watched.empty() && !m_host.RunFlags().StopRequested; ++pass) {
        const qint64 now = m_hub.NowMs();
        std::map<quintptr, std::shared_ptr<const SyncHub::Peer>> present;
        for (const auto& peer : m_hub.Peers()) {
            if (peer->Extended)
                present.emplace(peer->Id, peer);
        }
        for (auto it = watched.begin(); it != watched.end();) {
            const auto found = present.find(it->first);
            if (found == present.end()) {
                if (it->second.FrameOpen)
                    outcome.Notes << QStringLiteral("Second camera %1 went away during its frame; dithering anyway")
                                         .arg(it->second.Address);
                it = watched.erase(it);
                continue;
            }
            const SyncHub::Peer& peer = *found->second;
            it->second.FrameOpen = peer.FrameOpen;
            const qint64 bound = (peer.FrameOpen ? qMax(peer.FrameEndMs, holdMs) : holdMs) + m_hub.MarginMs();
            if (!peer.FrameOpen && peer.Held) {
                it = watched.erase(it);
            } else if (now >= bound) {
                m_hub.MarkLate(it->first);
                outcome.Notes << QStringLiteral("Second camera %1 did not end its frame in time; dithering anyway")
                                     .arg(it->second.Address);
                it = watched.erase(it);
            } else {
                ++it;
            }
        }
        if (watched.empty())
            break;
        // A second PC that answers at once (no frame open) costs a few ms;
        // the status says so only when the wait is a real one.
        if (!shown && now - holdMs >= ShowAfterMs) {
            m_host.SetRunStatusText(QStringLiteral("Waiting for second camera..."));
            shown = true;
        }
        m_waiter.WaitMs(qMin(PollMs, 2 << qMin(pass, 5)));
    }
    outcome.WaitedMs = m_hub.NowMs() - holdMs;
    outcome.Shown = shown;
    for (const QString& note : outcome.Notes)
        m_host.SetRunStatusText(note);
    return outcome;
}
