#pragma once
// JsonLineReader: cuts a byte stream into the lines of a line-framed JSON
// protocol. Bytes arrive in any pieces (a message split over several reads,
// several messages in one read); each complete line is handed out once,
// without its LF and an optional CR before it. Empty lines are dropped.
//
// A line longer than the limit without an end is a broken stream, not a
// message to wait for: Append() then reports overflow and drops what it
// holds, so a misbehaving peer cannot make the buffer grow without bound.
#include <QByteArray>
#include <QList>

class JsonLineReader {
public:
    explicit JsonLineReader(qsizetype maxLineBytes = 1024 * 1024) : m_max(maxLineBytes) {}

    // Adds `bytes` and returns the lines they complete, in order. Sets
    // `overflow` (when given) if a line grew past the limit.
    QList<QByteArray> Append(const QByteArray& bytes, bool* overflow = nullptr);

    // Bytes of an unfinished line held for the next Append().
    qsizetype Pending() const { return m_buffer.size(); }
    void Clear() { m_buffer.clear(); }

private:
    qsizetype m_max;
    QByteArray m_buffer;
};
