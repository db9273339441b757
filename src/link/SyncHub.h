#pragma once
// SyncHub: the main PC's side of the link's extension (SyncProtocol). It
// knows every connection of the listener in order of acceptance, which of
// them greeted and were answered ("extended" peers), and what each extended
// peer last reported: its run, an open frame and the end it announced for it,
// and whether it answered the last "Hold". The peer link feeds it what the
// connections send and writes what it hands out; the main run asks it, through
// the dither guard, whether any second camera still has a frame open.
//
// Switched off (the default) it answers no greeting and writes nothing, so the
// main PC sends only the bare commands to its first connection, exactly as
// without it; greetings are still remembered, so switching it on answers the
// peers that greeted. Switching it off tells the extended peers to go back to
// the bare commands.
//
// Times are milliseconds on the hub's clock (NowMs), which the guard uses too.
// What peers send is read through one LineReader per connection: linear,
// bounded, split-invariant, whatever a peer sends.
#include "link/LineReader.h"
#include "link/SyncProtocol.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class SyncHub : public QObject {
    Q_OBJECT
public:
    struct Peer {
        quintptr Id = 0;
        QString Address;
        bool Greeted = false;     // said "Tandexa sync 1"
        bool Extended = false;    // and was answered: it gets the framed lines
        bool RunActive = false;
        bool FrameOpen = false;
        qint64 FrameEndMs = 0;    // the end it announced for its open frame
        bool Held = true;         // answered the last "Hold" (or was never asked)
        bool Late = false;        // let a guard's bound pass; skipped until it speaks again
        LineReader Reader;
    };
    // Writes bytes to one connection; never waits.
    using Writer = std::function<void(quintptr id, QByteArrayView bytes)>;

    explicit SyncHub(Writer writer, QObject* parent = nullptr);

    void SetEnabled(bool on);
    bool Enabled() const { return m_enabled; }
    // How long past a frame's announced end (or past a "Hold" with no frame
    // open) the guard waits for a peer.
    void SetMarginMs(qint64 ms) { m_marginMs = ms; }
    qint64 MarginMs() const { return m_marginMs; }
    // The clock of every time here (steady milliseconds unless replaced).
    void SetClock(std::function<qint64()> nowMs) { m_nowMs = std::move(nowMs); }
    qint64 NowMs() const { return m_nowMs(); }

    // Connections, as the listener accepts and loses them.
    void Add(quintptr id, const QString& address);
    void Remove(quintptr id);
    void Clear();
    // Bytes a connection sent.
    void Received(quintptr id, QByteArrayView bytes);
    bool IsExtended(quintptr id) const;

    // The main run's side. SetPlace: what the next "Expose" carries.
    void SetPlace(const SyncProtocol::Place& place) { m_place = place; }
    // "Expose n" (with the place), "Abort" or "End" as a line to every extended peer.
    void SendCommand(QByteArrayView command);
    void AnnounceFrame(const SyncProtocol::Place& place);
    void Hold();
    void MarkLate(quintptr id);

    // Every connection, in order of acceptance (the first is the one the bare
    // commands go to when it is not extended).
    std::vector<std::shared_ptr<const Peer>> Peers() const;
    // The status bar's text: how many second PCs are commanded, and the last
    // note (a late or lost second camera, a record that cannot be written).
    QString StatusText() const;
    void SetNote(const QString& note);

signals:
    void Changed();

private:
    std::shared_ptr<Peer> Find(quintptr id) const;
    void HandleLine(Peer& peer, QByteArrayView line);
    void WriteLine(const Peer& peer, const QByteArray& line);
    void Answer(Peer& peer);

    Writer m_writer;
    std::function<qint64()> m_nowMs;
    std::vector<std::shared_ptr<Peer>> m_peers;
    SyncProtocol::Place m_place;
    QString m_note;
    qint64 m_marginMs = 60000;
    bool m_enabled = false;
};
