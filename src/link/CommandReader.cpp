#include "link/CommandReader.h"

#include "link/ExposeNumber.h"

#include <algorithm>
#include <array>
#include <vector>

namespace {

constexpr QByteArrayView kExpose("Expose");
constexpr QByteArrayView kAbort("Abort");
constexpr QByteArrayView kEnd("End");
constexpr std::array<QByteArrayView, 3> kKeywords{kExpose, kAbort, kEnd};

// Starts of every keyword in 'text', in order, found in one pass. No
// keyword contains the first letter of any keyword past its own start, so
// occurrences never overlap.
std::vector<qsizetype> KeywordStarts(QByteArrayView text)
{
    std::vector<qsizetype> starts;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = text[i];
        if (c != 'E' && c != 'A')
            continue;
        const QByteArrayView rest = text.sliced(i);
        for (QByteArrayView keyword : kKeywords) {
            if (rest.startsWith(keyword)) {
                starts.push_back(i);
                i += keyword.size() - 1;
                break;
            }
        }
    }
    return starts;
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
    const std::vector<qsizetype> starts = KeywordStarts(text);

    // Hold back a possible keyword start at the very end, unless it lies in
    // the number window of a trailing "Expose" piece and completes a valid
    // number there. Past the window it cannot belong to the number.
    qsizetype end = text.size();
    bool tailInNumber = false;
    const qsizetype tail = KeywordPrefixTail(text);
    if (tail > 0) {
        const qsizetype lastStart = starts.empty() ? -1 : starts.back();
        const QByteArrayView lastPiece = lastStart >= 0 ? QByteArrayView(text).sliced(lastStart) : QByteArrayView();
        const qsizetype tailAt = lastPiece.size() - tail;
        tailInNumber = lastPiece.startsWith(kExpose) && tailAt > kExpose.size()
                       && lastPiece.size() <= kExpose.size() + 1 + MaxNumberChars
                       && ParseExposeNumber(NumberText(lastPiece)).has_value();
        if (!tailInNumber) {
            end -= tail;
            m_held = text.sliced(end);
        }
    }

    const QByteArrayView stream = QByteArrayView(text).first(end);
    for (size_t k = 0; k < starts.size(); ++k) {
        const qsizetype start = starts[k];
        const qsizetype next = k + 1 < starts.size() ? starts[k + 1] : stream.size();
        const QByteArrayView piece = stream.sliced(start, next - start);
        if (start == 0 && reopened > 0) {
            // The open "Expose" continued or was cut short by a keyword: only
            // its number can have changed.
            if (piece.size() != reopened)
                m_state.ExposeSeconds = ParseExposeNumber(NumberText(piece)).value_or(0);
        } else {
            HandlePiece(piece);
        }
        // The last piece stays open while more bytes could still change its
        // number: its window is not yet full, or it ends in a keyword start
        // taken as digits that the next read may turn into a keyword.
        const bool last = k + 1 == starts.size();
        if (last && piece.startsWith(kExpose)
            && (piece.size() < kExpose.size() + 1 + MaxNumberChars || tailInNumber))
            m_open = piece.toByteArray();
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
