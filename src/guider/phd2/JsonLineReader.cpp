#include "JsonLineReader.h"

QList<QByteArray> JsonLineReader::Append(const QByteArray& bytes, bool* overflow)
{
    if (overflow)
        *overflow = false;
    m_buffer.append(bytes);
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = m_buffer.indexOf('\n', start);
        if (end < 0)
            break;
        qsizetype len = end - start;
        if (len > 0 && m_buffer.at(end - 1) == '\r')
            --len;
        if (len > m_max) {
            if (overflow)
                *overflow = true;
        } else if (len > 0) {
            lines.append(m_buffer.mid(start, len));
        }
        start = end + 1;
    }
    m_buffer.remove(0, start);
    if (m_buffer.size() > m_max) {
        m_buffer.clear();
        if (overflow)
            *overflow = true;
    }
    return lines;
}
