#include "link/SyncHub.h"

#include <chrono>

namespace {
constexpr qint64 kLongestFrameMs = 7LL * 24 * 3600 * 1000;   // an announced end past this is cut to it

qint64 SteadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
}

SyncHub::SyncHub(Writer writer, QObject* parent) : QObject(parent), m_writer(std::move(writer)), m_nowMs(SteadyMs)
{
}

void SyncHub::SetEnabled(bool on)
{
    if (on == m_enabled)
        return;
    m_enabled = on;
    for (const auto& peer : m_peers) {
        if (on && peer->Greeted) {
            Answer(*peer);
        } else if (!on && peer->Extended) {
            WriteLine(*peer, SyncProtocol::Leave);
            peer->Extended = false;
        }
    }
    emit Changed();
}

void SyncHub::Add(quintptr id, const QString& address)
{
    auto peer = std::make_shared<Peer>();
    peer->Id = id;
    peer->Address = address;
    m_peers.push_back(std::move(peer));
    emit Changed();
}

void SyncHub::Remove(quintptr id)
{
    std::erase_if(m_peers, [id](const auto& p) { return p->Id == id; });
    emit Changed();
}

void SyncHub::Clear()
{
    m_peers.clear();
    emit Changed();
}

std::shared_ptr<SyncHub::Peer> SyncHub::Find(quintptr id) const
{
    for (const auto& peer : m_peers) {
        if (peer->Id == id)
            return peer;
    }
    return nullptr;
}

bool SyncHub::IsExtended(quintptr id) const
{
    const auto peer = Find(id);
    return peer && peer->Extended;
}

void SyncHub::Received(quintptr id, QByteArrayView bytes)
{
    // Held for the whole read: a write inside may lose the connection.
    const std::shared_ptr<Peer> peer = Find(id);
    if (!peer)
        return;
    const bool wasExtended = peer->Extended;
    peer->Reader.Feed(bytes, [&](QByteArrayView line) {
        HandleLine(*peer, line);
        return true;
    });
    if (peer->Extended != wasExtended)
        emit Changed();
}

void SyncHub::HandleLine(Peer& peer, QByteArrayView line)
{
    using SyncProtocol::Verb;
    if (line == SyncProtocol::Greeting) {
        peer.Greeted = true;
        if (m_enabled)
            Answer(peer);
        return;
    }
    if (!peer.Extended)
        return;
    const bool wasLate = std::exchange(peer.Late, false);
    QByteArrayView rest;
    if (line == "Run started") {
        peer.RunActive = true;
    } else if (line == "Run ended") {
        peer.RunActive = false;
        peer.FrameOpen = false;
    } else if (line == "Held") {
        peer.Held = true;
    } else if (Verb(line, "Frame started", &rest)) {
        const QList<QByteArray> words = rest.toByteArray().split(' ');
        const qint64 seconds = words.value(0).toLongLong();
        bool ok = false;
        qint64 ms = words.value(1).toLongLong(&ok);
        if (!ok)
            ms = seconds * 1000;
        peer.FrameOpen = true;
        peer.FrameEndMs = NowMs() + qBound(qint64(0), ms, kLongestFrameMs);
    } else if (Verb(line, "Frame")) {
        peer.FrameOpen = false;   // saved, skipped, aborted or failed
    }
    if (wasLate)
        emit Changed();
}

void SyncHub::Answer(Peer& peer)
{
    if (peer.Extended)
        return;
    peer.Extended = true;
    peer.Held = true;
    WriteLine(peer, SyncProtocol::Greeting);
}

void SyncHub::WriteLine(const Peer& peer, const QByteArray& line)
{
    m_writer(peer.Id, line + '\n');
}

void SyncHub::SendCommand(QByteArrayView command)
{
    QByteArray line = command.toByteArray();
    if (line.startsWith("Expose"))
        line += ' ' + SyncProtocol::PlaceText(m_place);
    for (const auto& peer : std::vector(m_peers)) {
        if (peer->Extended)
            WriteLine(*peer, line);
    }
}

void SyncHub::AnnounceFrame(const SyncProtocol::Place& place)
{
    m_place = place;
    for (const auto& peer : std::vector(m_peers)) {
        if (peer->Extended)
            WriteLine(*peer, "Frame " + SyncProtocol::PlaceText(place));
    }
}

void SyncHub::Hold()
{
    for (const auto& peer : std::vector(m_peers)) {
        if (peer->Extended) {
            peer->Held = false;
            WriteLine(*peer, "Hold");
        }
    }
}

void SyncHub::MarkLate(quintptr id)
{
    if (const auto peer = Find(id))
        peer->Late = true;
}

std::vector<std::shared_ptr<const SyncHub::Peer>> SyncHub::Peers() const
{
    return {m_peers.begin(), m_peers.end()};
}

void SyncHub::SetNote(const QString& note)
{
    m_note = note;
    emit Changed();
}

QString SyncHub::StatusText() const
{
    qsizetype linked = std::count_if(m_peers.begin(), m_peers.end(), [](const auto& p) { return p->Extended; });
    const bool bareFirst = !m_peers.empty() && !m_peers.front()->Extended;
    QString text = linked + bareFirst == 0 ? QStringLiteral("No second PC linked")
                   : linked + bareFirst == 1 ? QStringLiteral("1 second PC linked")
                                             : QStringLiteral("%1 second PCs linked").arg(linked + bareFirst);
    if (bareFirst)
        text += QStringLiteral(" (1 without reports)");
    if (!m_note.isEmpty())
        text += QStringLiteral(". ") + m_note;
    return text;
}
