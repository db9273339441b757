// Decimal4: every text that parses writes back to a text that reads as the
// same count; every count's text reads back as that count.
#include "FuzzCheck.h"
#include "sequence/Decimal4.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    for (QChar sep : {QChar('.'), QChar(',')}) {
        const QString text = QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size));
        if (const auto value = Decimal4::FromText(text, sep)) {
            const auto back = Decimal4::FromText(value->ToText(sep), sep);
            FUZZ_CHECK(back && *back == *value, "[%s] gave %lld, written [%s]", qPrintable(text),
                       static_cast<long long>(value->Count()), qPrintable(value->ToText(sep)));
        }
        if (size >= 8) {
            qint64 count = 0;
            std::memcpy(&count, data, 8);
            const Decimal4 d = Decimal4::FromCount(count);
            const auto back = Decimal4::FromText(d.ToText(sep), sep);
            FUZZ_CHECK(back && *back == d, "count %lld written [%s]", static_cast<long long>(count),
                       qPrintable(d.ToText(sep)));
        }
    }
    return 0;
}
