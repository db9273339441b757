// An item line: any text parses; a complete parse formats and parses back to
// the same item; any item whose suffix has no blank survives format and parse.
#include "FuzzCheck.h"
#include "sequence/SequenceItemLine.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString line = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const ParsedItemLine parsed = ParseItemLine(line);
    if (parsed.complete) {
        const ParsedItemLine back = ParseItemLine(FormatItemLine(parsed.item));
        FUZZ_CHECK(back.complete && back.item == parsed.item, "item did not survive: [%s]",
                   qPrintable(FormatItemLine(parsed.item)));
    }
    if (size >= 16) {
        TSequenceItem item;
        std::memcpy(&item.Filter, data, 4);
        std::memcpy(&item.Exposure, data + 4, 4);
        std::memcpy(&item.Binning, data + 8, 4);
        std::memcpy(&item.Repeat, data + 12, 4);
        item.Suffix = QString::fromUtf8(reinterpret_cast<const char*>(data + 16), qsizetype(size - 16));
        for (QChar c : item.Suffix) {
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f')
                return 0;   // the format cannot carry blanks
        }
        const ParsedItemLine back = ParseItemLine(FormatItemLine(item));
        FUZZ_CHECK(back.complete && back.item == item, "item did not survive: [%s]",
                   qPrintable(FormatItemLine(item)));
    }
    return 0;
}
