#include "link/CommandReader.h"

#include "link/ExposeNumber.h"

#include <algorithm>
#include <array>

namespace {

constexpr QByteArrayView kExpose("Expose");
constexpr QByteArrayView kAbort("Abort");
constexpr QByteArrayView kEnd("End");
constexpr std::array<QByteArrayView, 3> kKeywords{kExpose, kAbort, kEnd};

// Position of the first keyword at or after 'from', or -1.
qsizetype NextKeyword(QByteArrayView text, qsizetype from)
{
    qsizetype best = -1;
    for (QByteArrayView keyword : kKeywords) {
        const qsizetype at = text.indexOf(keyword, from);
        if (at >= 0 && (best < 0 || at < best))
            best = at;
    }
    return best;
}

// Position of the last complete keyword in 'text', or -1.
qsizetype LastKeyword(QByteArrayView text)
{
    qsizetype best = -1;
    for (QByteArrayView keyword : kKeywords)
        best = std::max(best, text.lastIndexOf(keyword));
    return best;
}

// Length of the longest tail of 'text' that is a proper prefix of a keyword.
qsizetype KeywordPrefixTail(QByteArrayView text)
{
    for (qsizetype length = 5; length > 0; --length) {
        if (length > text.size())
            continue;
        const QByteArrayView tail = text.last(length);
        for (QByteArrayView keyword : kKeywords) {
            if (length < keyword.size() && keyword.startsWith(tail))
                return length;
        }
    }
    return 0;
}

QByteArrayView NumberText(QByteArrayView piece)
{
    if (piece.size() <= kExpose.size() + 1)
        return {};
    return piece.sliced(kExpose.size() + 1).first(
        std::min(piece.size() - kExpose.size() - 1, CommandReader::MaxNumberChars));
}

} // namespace

void CommandReader::Feed(QByteArrayView data)
{
    if (data.isEmpty())
        return;
    // The open piece goes first so that a continuation extends it; its
    // effects are already applied.
    QByteArray text = m_open + m_held;
    const qsizetype reopened = m_open.size();
    text.append(data);
    m_open.clear();
    m_held.clear();

    // Hold back a possible keyword start at the very end, unless it belongs to
    // a valid number of a trailing "Expose" piece.
    qsizetype end = text.size();
    const qsizetype tail = KeywordPrefixTail(text);
    if (tail > 0) {
        const qsizetype lastStart = LastKeyword(QByteArrayView(text).first(end - tail));
        const QByteArrayView lastPiece = lastStart >= 0 ? QByteArrayView(text).sliced(lastStart) : QByteArrayView();
        const bool partOfNumber = lastPiece.startsWith(kExpose) && ParseExposeNumber(NumberText(lastPiece)).has_value();
        if (!partOfNumber) {
            end -= tail;
            m_held = text.sliced(end);
        }
    }

    const QByteArrayView stream = QByteArrayView(text).first(end);
    qsizetype start = reopened > 0 ? 0 : NextKeyword(stream, 0);
    while (start >= 0) {
        // A piece ends where the next keyword begins; searching from start + 1
        // never finds the piece's own keyword again.
        const qsizetype next = NextKeyword(stream, start + 1);
        const QByteArrayView piece = stream.sliced(start, (next < 0 ? stream.size() : next) - start);
        if (start == 0 && reopened > 0) {
            // The open "Expose" continued or was cut short by a keyword: only
            // its number can have changed.
            if (piece.size() != reopened)
                m_state.ExposeSeconds = ParseExposeNumber(NumberText(piece)).value_or(0);
        } else {
            HandlePiece(piece);
        }
        if (next < 0 && piece.startsWith(kExpose) && piece.size() < kExpose.size() + 1 + MaxNumberChars)
            m_open = piece.toByteArray();
        start = next;
    }
}

void CommandReader::HandlePiece(QByteArrayView piece)
{
    if (piece.startsWith(kExpose)) {
        m_state.ExposeReceived = true;
        m_state.ExposeSeconds = ParseExposeNumber(NumberText(piece)).value_or(0);
    } else if (piece == kEnd) {
        m_state.ExposeReceived = false;
    } else if (piece == kAbort) {
        m_state.ExposeReceived = false;
        m_state.StopRequested = true;
    }
}
