#pragma once
// SecondSync: the second PC's side of the link: everything the main PC sends,
// turned into the run flags and the main PC's place, and the reports the
// second PC sends back (SyncProtocol).
//
// On connecting it greets the main PC. Until the main PC answers, the bytes
// are the bare commands and go to the CommandReader, so a main PC without the
// extension (or with it off) works exactly as before. The answer line may
// arrive anywhere in the stream, also cut over reads: the bytes before it go
// to the CommandReader, the bytes after it are lines. From the answer on:
//   "Expose n <place>"  ExposeReceived, ExposeSeconds (as the bare command
//                       converts n), the place, and the window until the
//                       main PC's next dither;
//   "Frame <place>"     the place and a fresh window;
//   "Hold"              no frame may start until the next "Expose"; answered
//                       "Held", but only after the report of a frame the run
//                       had already decided to start (Committing), so that
//                       the main PC learns of that frame before it dithers;
//   "Abort", "End"      as the bare commands;
//   "Tandexa sync 0"    back to the bare commands.
// Reports go out only while the main PC has answered.
//
// Bounded and linear like its readers: it holds at most the CommandReader's
// bytes, a greeting-long tail and one line.
#include "link/CommandReader.h"
#include "link/LineReader.h"
#include "link/SyncProtocol.h"
#include "platform/RunState.h"

#include <functional>

class SecondSync {
public:
    using Writer = std::function<void(QByteArrayView bytes)>;
    enum class Report { Started, Saved, Skipped, Aborted, Failed };

    SecondSync(RunState& state, Writer writer);

    void SetClock(std::function<qint64()> nowMs) { m_nowMs = std::move(nowMs); }
    qint64 NowMs() const { return m_nowMs(); }

    // A connection is up: a new stream, and the greeting.
    void Connected();
    // The connection is gone: back to the bare commands.
    void Disconnected();
    // Bytes the main PC sent (one read, any length).
    void Feed(QByteArrayView data);

    bool Extended() const { return m_extended; }
    // Called whenever Extended() changes (for the window's status text).
    void SetOnExtendedChanged(std::function<void()> changed) { m_changed = std::move(changed); }
    const SyncProtocol::Place& MainPlace() const { return m_place; }
    // A frame of `durationMs` starting now would end before the main PC's
    // next dither (false without a window, after "Hold", "End" or "Abort").
    bool WindowHolds(qint64 durationMs) const;
    // The run has decided to start a frame; its Started or Failed report ends that.
    void Committing() { m_committing = true; }

    // A frame's report; a started one is expected to end `exposureSeconds` from now.
    void ReportFrame(Report what, int exposureSeconds);
    void ReportRun(bool started);

    const CommandReader& Commands() const { return m_commands; }
    qsizetype HeldBytes() const { return m_commands.HeldBytes() + m_tail.size() + m_lines.HeldBytes(); }

private:
    void StartLines();
    void SetExtended(bool extended);
    bool HandleLine(QByteArrayView line);
    void Send(const QByteArray& line);
    void SettleCommit();

    RunState& m_state;
    Writer m_writer;
    std::function<qint64()> m_nowMs;
    std::function<void()> m_changed;
    CommandReader m_commands;
    LineReader m_lines;
    QByteArray m_tail;         // bare mode: a possible start of the answer line
    SyncProtocol::Place m_place;
    qint64 m_windowEndMs = -1; // -1: no window
    bool m_extended = false;
    bool m_committing = false;
    bool m_heldOwed = false;
};
