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
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end && !m_bad) {
        // Fast path: whole groups of four alphabet characters.
        if (m_carryLen == 0 && !m_ended) {
            while (end - p >= 4 && kTable.v[static_cast<unsigned char>(p[0])] < 64
                   && kTable.v[static_cast<unsigned char>(p[1])] < 64
                   && kTable.v[static_cast<unsigned char>(p[2])] < 64
                   && kTable.v[static_cast<unsigned char>(p[3])] < 64) {
                const unsigned a = kTable.v[static_cast<unsigned char>(p[0])];
                const unsigned b = kTable.v[static_cast<unsigned char>(p[1])];
                const unsigned c = kTable.v[static_cast<unsigned char>(p[2])];
                const unsigned d = kTable.v[static_cast<unsigned char>(p[3])];
                const char bytes[3] = {static_cast<char>((a << 2) | (b >> 4)),
                                       static_cast<char>(((b & 15) << 4) | (c >> 2)),
                                       static_cast<char>(((c & 3) << 6) | d)};
                m_out.append(bytes, 3);
                p += 4;
            }
            if (p >= end)
                break;
        }
        const unsigned v = kTable.v[static_cast<unsigned char>(*p)];
        if (v == 65) {
            ++p;
            continue;
        }
        if (v == 66 || m_ended) {
            m_bad = true;
            break;
        }
        m_carry[m_carryLen++] = *p++;
        if (m_carryLen == 4) {
            m_carryLen = 0;
            decodeGroup(m_carry);
        }
    }
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
