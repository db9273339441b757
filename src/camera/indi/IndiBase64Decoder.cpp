#include "IndiBase64Decoder.h"

namespace {
// 0..63 for the alphabet, 64 for '=', 65 for whitespace, 66 for anything else.
struct Table {
    unsigned char v[256];
    constexpr Table() : v()
    {
        for (int i = 0; i < 256; ++i)
            v[i] = 66;
        const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (int i = 0; i < 64; ++i)
            v[static_cast<unsigned char>(alphabet[i])] = static_cast<unsigned char>(i);
        v[static_cast<unsigned char>('=')] = 64;
        for (char c : {' ', '\n', '\r', '\t'})
            v[static_cast<unsigned char>(c)] = 65;
    }
};
constexpr Table kTable;
}

void IndiBase64Decoder::decodeGroup(const char* g)
{
    const unsigned a = kTable.v[static_cast<unsigned char>(g[0])];
    const unsigned b = kTable.v[static_cast<unsigned char>(g[1])];
    const unsigned c = kTable.v[static_cast<unsigned char>(g[2])];
    const unsigned d = kTable.v[static_cast<unsigned char>(g[3])];
    if (a > 63 || b > 63 || (c == 64 && d != 64)) {
        m_bad = true;
        return;
    }
    m_out.append(static_cast<char>((a << 2) | (b >> 4)));
    if (c == 64) {
        m_ended = true;
        return;
    }
    m_out.append(static_cast<char>(((b & 15) << 4) | (c >> 2)));
    if (d == 64) {
        m_ended = true;
        return;
    }
    m_out.append(static_cast<char>(((c & 3) << 6) | d));
}

void IndiBase64Decoder::append(QByteArrayView text)
{
    if (m_bad || text.isEmpty())
        return;
    // Write straight into the output, sized for the most this piece can give.
    const qsizetype before = m_out.size();
    m_out.resize(before + (text.size() + m_carryLen) / 4 * 3 + 3);
    char* w = m_out.data() + before;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    const unsigned char* v = kTable.v;
    while (p < end) {
        // Fast path: whole groups of four alphabet characters.
        if (m_carryLen == 0 && !m_ended) {
            while (end - p >= 4) {
                const unsigned a = v[p[0]], b = v[p[1]], c = v[p[2]], d = v[p[3]];
                if ((a | b | c | d) > 63)
                    break;
                w[0] = char((a << 2) | (b >> 4));
                w[1] = char(((b & 15) << 4) | (c >> 2));
                w[2] = char(((c & 3) << 6) | d);
                w += 3;
                p += 4;
            }
            if (p >= end)
                break;
        }
        const unsigned c = v[*p];
        if (c == 65) {
            ++p;
            continue;
        }
        if (c == 66 || m_ended) {
            m_bad = true;
            break;
        }
        m_carry[m_carryLen++] = char(*p++);
        if (m_carryLen == 4) {
            m_carryLen = 0;
            m_out.truncate(w - m_out.data());
            decodeGroup(m_carry);
            if (m_bad)
                return;
            const qsizetype at = m_out.size();
            m_out.resize(at + (end - p) / 4 * 3 + 3);
            w = m_out.data() + at;
        }
    }
    m_out.truncate(w - m_out.data());
}

bool IndiBase64Decoder::finish()
{
    if (m_carryLen != 0)
        m_bad = true;
    return !m_bad;
}

QByteArray IndiBase64Decoder::takeResult()
{
    QByteArray out = std::move(m_out);
    m_out = QByteArray();
    m_carryLen = 0;
    m_ended = m_bad = false;
    return out;
}
