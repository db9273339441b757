#include "link/LineReader.h"

qsizetype LineReader::Feed(QByteArrayView data, const std::function<bool(QByteArrayView)>& line)
{
    qsizetype at = 0;
    while (at < data.size()) {
        const qsizetype end = data.indexOf('\n', at);
        const QByteArrayView piece = data.sliced(at, (end < 0 ? data.size() : end) - at);
        if (end < 0) {
            if (!m_skipping && m_partial.size() + piece.size() <= MaxLineBytes) {
                m_partial.append(piece);
            } else {
                m_partial.clear();
                m_skipping = true;
            }
            return data.size();
        }
        at = end + 1;
        const bool tooLong = m_skipping || m_partial.size() + piece.size() > MaxLineBytes;
        QByteArray text = std::exchange(m_partial, {});
        m_skipping = false;
        if (tooLong)
            continue;
        text.append(piece);
        if (text.endsWith('\r'))
            text.chop(1);
        if (!line(text))
            return at;
    }
    return at;
}
