#pragma once
// TextCodec: the two encodings Tandexa's text files come in. Files written
// here are UTF-8; files written on Windows (by Tandexa there or by hand) are
// in the ANSI code page, Windows-1252 in Western Europe. A file whose bytes
// are valid UTF-8 is taken as UTF-8, any other file as Windows-1252, so both
// read correctly without a marker. A UTF-8 byte-order mark at the start is
// recognised and kept apart from the text.
//
// Windows-1252 decoding maps every byte to one character (the five bytes the
// code page leaves undefined to the C1 controls of the same number, as
// Windows does), so decoding and encoding again gives the same bytes.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

class TextCodec {
public:
    enum Encoding { Utf8, Windows1252 };

    static constexpr QByteArrayView Utf8Bom{"\xEF\xBB\xBF", 3};

    // Strictly valid UTF-8: no overlong forms, no surrogates, nothing past
    // U+10FFFF, no sequence cut short.
    static bool IsValidUtf8(QByteArrayView bytes);
    // Utf8 when the bytes are valid UTF-8, else Windows1252.
    static Encoding Detect(QByteArrayView bytes);

    static QString Decode(QByteArrayView bytes, Encoding encoding);
    // The bytes of text, or nothing when the encoding cannot hold one of its
    // characters; *bad then receives the first such character.
    static std::optional<QByteArray> Encode(const QString& text, Encoding encoding, QChar* bad = nullptr);

    // The encoding's name as users know it ("UTF-8", "Windows-1252").
    static QString Name(Encoding encoding);
    // "the character "Ω" (U+03A9) cannot be stored in Windows-1252", for
    // error texts that must name what could not be written.
    static QString UnencodableText(QChar c, Encoding encoding);
};
