// The command reader: however a stream is split into reads, the flags end as
// when it arrives in one read, and the held bytes stay bounded.
// Input: one byte with the number of cuts (0-7), one byte per cut position
// (scaled to the stream), then the stream.
//
// One split is outside the property by design: a read that ends right after a
// complete "End" or "Abort" (possibly followed by the start of a keyword)
// acts on it at once, since it cannot be taken back later; the same bytes
// followed by junk in one read are no command.
#include "FuzzCheck.h"
#include "link/CommandReader.h"

#include <algorithm>
#include <vector>

namespace {
bool endsInCompleteEndOrAbort(QByteArrayView text)
{
    for (qsizetype tail = 0; tail <= 5 && tail <= text.size(); ++tail) {
        const QByteArrayView rest = text.first(text.size() - tail);
        const QByteArrayView cut = text.last(tail);
        const bool prefix = tail == 0 || QByteArrayView("Expose").startsWith(cut)
                            || QByteArrayView("Abort").startsWith(cut) || QByteArrayView("End").startsWith(cut);
        if (prefix && (rest.endsWith("End") || rest.endsWith("Abort")))
            return true;
    }
    return false;
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

    RunState whole;
    CommandReader(whole).Feed(stream);

    RunState split;
    CommandReader reader(split);
    qsizetype from = 0;
    bool comparable = true;
    for (qsizetype cut : cuts) {
        reader.Feed(stream.sliced(from, cut - from));
        FUZZ_CHECK(reader.HeldBytes() <= CommandReader::MaxHeldBytes, "held %lld bytes",
                   static_cast<long long>(reader.HeldBytes()));
        comparable = comparable && !endsInCompleteEndOrAbort(stream.first(cut));
        from = cut;
    }
    reader.Feed(stream.sliced(from));
    FUZZ_CHECK(reader.HeldBytes() <= CommandReader::MaxHeldBytes, "held too much");
    if (comparable) {
        FUZZ_CHECK(whole.ExposeReceived == split.ExposeReceived && whole.ExposeSeconds == split.ExposeSeconds
                       && whole.StopRequested == split.StopRequested,
                   "split differs: whole %d/%d/%d, split %d/%d/%d", whole.ExposeReceived, whole.ExposeSeconds,
                   whole.StopRequested, split.ExposeReceived, split.ExposeSeconds, split.StopRequested);
    }
    return 0;
}
