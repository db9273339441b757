// INI text: any bytes parse and serialize back unchanged; a value written
// into any text reads back exactly, and every other line keeps its bytes.
// Input: one byte choosing the key, the value's length, the value (UTF-8),
// then the file's bytes.
#include "FuzzCheck.h"
#include "platform/IniText.h"
#include "platform/TextCodec.h"

#include <QStringList>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    static const QStringList keys{"DestDir", "ImgFileName", "Ip2Address", "k", "Items"};
    const QString key = keys[data[0] % keys.size()];
    const QString section = data[0] & 0x80 ? QStringLiteral("Setup") : QStringLiteral("Sequence");
    const qsizetype valueLength = std::min<qsizetype>(data[1], input.size() - 2);
    const QString value = QString::fromUtf8(input.mid(2, valueLength));
    const QByteArray file = input.mid(2 + valueLength);

    IniText text = IniText::parse(file);
    FUZZ_CHECK(text.serialize() == file, "parse and serialize changed the bytes");

    // What the INI component refuses to write is not written.
    if (value.contains('\r') || value.contains('\n') || text.unencodable(value) || value.size() > 2047)
        return 0;
    const auto before = text.sectionValues(section == "Setup" ? "Sequence" : "Setup");
    text.setValue(section, key, value);
    const QByteArray written = text.serialize();
    const IniText again = IniText::parse(written);
    // A Windows-1252 text whose only non-ASCII bytes were in the line replaced
    // may now read as UTF-8; that is the same text when it is ASCII.
    if (again.encoding() != text.encoding() && !written.isEmpty()) {
        bool ascii = true;
        for (char c : written)
            ascii = ascii && uchar(c) < 0x80;
        if (!ascii)
            return 0;
    }
    const auto read = again.value(section, key);
    FUZZ_CHECK(read && *read == value, "value did not read back: wrote [%s] read [%s]", qPrintable(value),
               read ? qPrintable(*read) : "(none)");
    FUZZ_CHECK(again.sectionValues(section == "Setup" ? "Sequence" : "Setup") == before,
               "another section changed");
    // Every line of the original is still there, byte for byte, in order,
    // except the key's own line.
    qsizetype at = 0;
    for (const QByteArray& line : file.split('\n')) {
        const QByteArray bare = line.endsWith('\r') ? line.chopped(1) : line;
        if (bare.contains('\r') || bare.contains('=') || bare.isEmpty())
            continue;   // only lines that cannot be the key's own are checked
        const qsizetype found = written.indexOf(bare, at);
        FUZZ_CHECK(found >= 0, "an untouched line was lost: [%s]", bare.constData());
        at = found + bare.size();
    }
    return 0;
}
