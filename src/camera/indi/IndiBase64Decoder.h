#pragma once
// IndiBase64Decoder: decodes base64 text that arrives in pieces of any size,
// so a large BLOB is decoded as it comes off the socket instead of in one
// long step at the end. Whitespace anywhere is skipped; any other character
// outside the base64 alphabet, or data after the padding, marks the input
// as bad.
#include <QByteArray>
#include <QByteArrayView>

class IndiBase64Decoder {
public:
    // Expected decoded size, to allocate once. The caller bounds it: a size a
    // server announced is a claim, not an allocation size. (A little more is
    // taken: append() works in an output a few bytes longer than it fills.)
    void reserve(qsizetype bytes) { m_out.reserve(bytes + 64); }
    // Bytes decoded so far.
    qsizetype size() const { return m_out.size(); }
    void append(QByteArrayView text);
    // Ends the input; false when it was not valid base64 (a trailing group
    // of fewer than four characters included).
    bool finish();
    QByteArray takeResult();
    // Forgets everything (the memory too), ready for the next input.
    void discard() { takeResult(); }

private:
    void decodeGroup(const char* group);

    QByteArray m_out;
    char m_carry[4] = {};
    int m_carryLen = 0;
    bool m_ended = false;   // padding seen
    bool m_bad = false;
};
