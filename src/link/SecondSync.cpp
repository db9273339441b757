#include "link/SecondSync.h"

#include "link/ExposeNumber.h"

#include <chrono>

namespace {
const QByteArray kAnswer = QByteArray(SyncProtocol::Greeting) + '\n';

qint64 SteadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Length of the longest tail of `text` that is a proper prefix of the answer line.
qsizetype AnswerPrefixTail(QByteArrayView text)
{
    for (qsizetype n = qMin(text.size(), kAnswer.size() - 1); n > 0; --n) {
        if (QByteArrayView(kAnswer).startsWith(text.last(n)))
            return n;
    }
    return 0;
}
}

SecondSync::SecondSync(RunState& state, Writer writer)
    : m_state(state), m_writer(std::move(writer)), m_nowMs(SteadyMs), m_commands(state)
{
}

void SecondSync::Connected()
{
    Disconnected();
    m_writer(kAnswer);   // the greeting is the answer's own text
}

void SecondSync::Disconnected()
{
    m_commands.Reset();
    m_lines.Reset();
    m_tail.clear();
    SetExtended(false);
    m_windowEndMs = -1;
    m_committing = m_heldOwed = false;
}

void SecondSync::Feed(QByteArrayView data)
{
    // Each pass consumes bytes up to a switch of mode, and no pass copies
    // more than an answer's length: linear however often the mode switches.
    while (!data.isEmpty()) {
        if (m_extended) {
            data = data.sliced(m_lines.Feed(data, [this](QByteArrayView line) { return HandleLine(line); }));
            continue;
        }
        if (!m_tail.isEmpty()) {
            const QByteArray head = m_tail + data.first(qMin(data.size(), kAnswer.size())).toByteArray();
            const qsizetype at = head.indexOf(kAnswer);
            if (at >= 0 && at < m_tail.size()) {
                m_commands.Feed(QByteArrayView(head).first(at));
                data = data.sliced(at + kAnswer.size() - m_tail.size());
                StartLines();
                continue;
            }
            if (data.size() < kAnswer.size()) {
                const qsizetype keep = AnswerPrefixTail(head);
                m_commands.Feed(QByteArrayView(head).first(head.size() - keep));
                m_tail = head.last(keep);
                return;
            }
            m_commands.Feed(m_tail);
            m_tail.clear();
        }
        const qsizetype at = data.indexOf(kAnswer);
        if (at < 0) {
            const qsizetype keep = AnswerPrefixTail(data);
            m_commands.Feed(data.first(data.size() - keep));
            m_tail = data.last(keep).toByteArray();
            return;
        }
        m_commands.Feed(data.first(at));
        data = data.sliced(at + kAnswer.size());
        StartLines();
    }
}

void SecondSync::StartLines()
{
    // The answer: from here on every byte is a line of the extension.
    m_commands.Reset();
    m_lines.Reset();
    m_tail.clear();
    SetExtended(true);
}

void SecondSync::SetExtended(bool extended)
{
    if (std::exchange(m_extended, extended) != extended && m_changed)
        m_changed();
}

bool SecondSync::HandleLine(QByteArrayView line)
{
    using SyncProtocol::Verb;
    QByteArrayView rest;
    if (line == SyncProtocol::Leave) {
        Disconnected();
        return false;   // the rest of the read is bare again
    }
    if (Verb(line, "Expose", &rest)) {
        const qsizetype blank = rest.indexOf(' ');
        m_state.ExposeReceived = true;
        m_state.ExposeSeconds = ParseExposeNumber(blank < 0 ? rest : rest.first(blank)).value_or(0);
        m_place = SyncProtocol::ParsePlace(blank < 0 ? QByteArrayView() : rest.sliced(blank + 1));
        m_windowEndMs = m_place.WindowMs < 0 ? -1 : NowMs() + m_place.WindowMs;
    } else if (Verb(line, "Frame", &rest)) {
        m_place = SyncProtocol::ParsePlace(rest);
        if (m_windowEndMs >= 0)
            m_windowEndMs = m_place.WindowMs < 0 ? -1 : NowMs() + m_place.WindowMs;
    } else if (line == "Hold") {
        m_windowEndMs = -1;
        if (m_committing)
            m_heldOwed = true;
        else
            Send("Held");
    } else if (line == "End") {
        m_state.ExposeReceived = false;
        m_windowEndMs = -1;
    } else if (line == "Abort") {
        m_state.ExposeReceived = false;
        m_state.StopRequested = true;
        m_windowEndMs = -1;
    }
    return true;
}

bool SecondSync::WindowHolds(qint64 durationMs) const
{
    return m_extended && m_windowEndMs >= 0 && NowMs() + durationMs <= m_windowEndMs;
}

void SecondSync::Send(const QByteArray& line)
{
    if (m_extended)
        m_writer(line + '\n');
}

void SecondSync::SettleCommit()
{
    m_committing = false;
    if (std::exchange(m_heldOwed, false))
        Send("Held");
}

void SecondSync::ReportFrame(Report what, int exposureSeconds)
{
    static const char* const kEnds[] = {"", "saved", "skipped", "aborted", "failed"};
    if (what == Report::Started)
        Send("Frame started " + QByteArray::number(exposureSeconds) + ' ' + QByteArray::number(qint64(qMax(0, exposureSeconds)) * 1000));
    else
        Send(QByteArray("Frame ") + kEnds[int(what)]);
    if (what == Report::Started || what == Report::Failed)
        SettleCommit();
}

void SecondSync::ReportRun(bool started)
{
    Send(started ? "Run started" : "Run ended");
    SettleCommit();
}
