#pragma once
// LineReader: cuts a byte stream into lines for the framed messages of the
// link's extension. A line ends at "\n"; a "\r" before it is dropped.
//
// Split-invariant: however the stream is cut into reads, the same lines come
// out in the same order. Linear in the bytes fed (each byte is looked at
// once). Bounded: a line longer than MaxLineBytes is dropped whole, up to its
// "\n", so the reader never holds more than MaxLineBytes, whatever the peer
// sends (a 64 MiB line costs nothing but the time to skip it).
#include <QByteArray>
#include <QByteArrayView>
#include <functional>

class LineReader {
public:
    static constexpr qsizetype MaxLineBytes = 256;

    // Hands every complete line of `data` to `line`, in order. When `line`
    // returns false, reading stops after that line; the result is the number
    // of bytes of `data` consumed (all of them otherwise).
    qsizetype Feed(QByteArrayView data, const std::function<bool(QByteArrayView line)>& line);
    // Forgets a partial line: a new connection starts a new stream.
    void Reset()
    {
        m_partial.clear();
        m_skipping = false;
    }
    qsizetype HeldBytes() const { return m_partial.size(); }

private:
    QByteArray m_partial;     // the start of a line not yet ended
    bool m_skipping = false;  // inside a line that was too long
};
