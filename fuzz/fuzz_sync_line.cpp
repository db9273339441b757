// The line reader of the link's extension: however a stream is split into
// reads, the same lines come out in the same order, none longer than the
// bound, and the reader never holds more than the bound.
// Input: one byte with the number of cuts (0-7), one byte per cut position
// (scaled to the stream), then the stream.
#include "FuzzCheck.h"
#include "link/LineReader.h"

#include <QByteArray>
#include <QList>
#include <algorithm>
#include <vector>

namespace {
QList<QByteArray> readAll(const QByteArrayView stream, const std::vector<qsizetype>& cuts)
{
    LineReader reader;
    QList<QByteArray> lines;
    const auto take = [&lines](QByteArrayView line) {
        FUZZ_CHECK(line.size() <= LineReader::MaxLineBytes, "a line of %lld bytes", static_cast<long long>(line.size()));
        FUZZ_CHECK(!line.contains('\n'), "a line with its line feed");
        lines.append(line.toByteArray());
        return true;
    };
    qsizetype from = 0;
    for (qsizetype cut : cuts) {
        FUZZ_CHECK(reader.Feed(stream.sliced(from, cut - from), take) == cut - from, "a read not consumed whole");
        FUZZ_CHECK(reader.HeldBytes() <= LineReader::MaxLineBytes, "held %lld bytes", static_cast<long long>(reader.HeldBytes()));
        from = cut;
    }
    reader.Feed(stream.sliced(from), take);
    FUZZ_CHECK(reader.HeldBytes() <= LineReader::MaxLineBytes, "held too much");
    return lines;
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const size_t cutCount = std::min<size_t>(data[0] & 7, size - 1);
    const QByteArrayView stream(reinterpret_cast<const char*>(data + 1 + cutCount), qsizetype(size - 1 - cutCount));
    std::vector<qsizetype> cuts;
    for (size_t i = 0; i < cutCount; ++i)
        cuts.push_back(stream.isEmpty() ? 0 : qsizetype(data[1 + i]) * stream.size() / 255);
    std::sort(cuts.begin(), cuts.end());
    const QList<QByteArray> whole = readAll(stream, {});
    const QList<QByteArray> split = readAll(stream, cuts);
    FUZZ_CHECK(whole == split, "split reads give %lld lines, one read %lld", static_cast<long long>(split.size()),
               static_cast<long long>(whole.size()));
    return 0;
}
