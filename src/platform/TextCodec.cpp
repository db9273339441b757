#include "platform/TextCodec.h"

namespace {

// Characters of the bytes 0x80..0x9F in Windows-1252; the undefined bytes
// 0x81, 0x8D, 0x8F, 0x90 and 0x9D stand for themselves.
constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

std::optional<char> windows1252Byte(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return char(c);
    for (int i = 0; i < 32; ++i) {
        if (kHigh[i] == c)
            return char(0x80 + i);
    }
    return std::nullopt;
}

} // namespace

bool TextCodec::IsValidUtf8(QByteArrayView bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int extra = 0;
        unsigned min = 0;
        unsigned code = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1, min = 0x80, code = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2, min = 0x800, code = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3, min = 0x10000, code = c & 0x07;
        } else {
            return false;
        }
        if (n - i <= extra)
            return false;
        for (int k = 1; k <= extra; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (p[i + k] & 0x3F);
        }
        if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

TextCodec::Encoding TextCodec::Detect(QByteArrayView bytes)
{
    return IsValidUtf8(bytes) ? Utf8 : Windows1252;
}

QString TextCodec::Decode(QByteArrayView bytes, Encoding encoding)
{
    if (encoding == Utf8) {
        // QString::fromUtf8 drops a leading byte-order mark; here it is text
        // (a line that starts with U+FEFF keeps it).
        if (bytes.startsWith(Utf8Bom))
            return QChar(0xFEFF) + QString::fromUtf8(bytes.sliced(Utf8Bom.size()));
        return QString::fromUtf8(bytes);
    }
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out[i] = QChar(b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : char16_t(b));
    }
    return text;
}

std::optional<QByteArray> TextCodec::Encode(const QString& text, Encoding encoding, QChar* bad)
{
    if (encoding == Utf8) {
        // A lone surrogate has no UTF-8 form (toUtf8 would write "?").
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text[i];
            if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
                ++i;
            } else if (c.isSurrogate()) {
                if (bad)
                    *bad = c;
                return std::nullopt;
            }
        }
        return text.toUtf8();
    }
    QByteArray out(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto b = windows1252Byte(text[i].unicode());
        if (!b) {
            if (bad)
                *bad = text[i];
            return std::nullopt;
        }
        out[i] = *b;
    }
    return out;
}

QString TextCodec::Name(Encoding encoding)
{
    return encoding == Utf8 ? QStringLiteral("UTF-8") : QStringLiteral("Windows-1252");
}

QString TextCodec::UnencodableText(QChar c, Encoding encoding)
{
    return QStringLiteral("the character \"%1\" (U+%2) cannot be stored in %3")
        .arg(c.isSurrogate() ? QString() : QString(c),
             QString::number(c.unicode(), 16).toUpper().rightJustified(4, QLatin1Char('0')),
             Name(encoding));
}
