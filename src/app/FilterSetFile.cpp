#include "app/FilterSetFile.h"

#include "platform/AtomicFile.h"
#include "platform/Error.h"
#include "platform/ProgramDir.h"
#include "platform/SmallFile.h"

#include <QFile>
#include <QFileInfo>

QString FilterSetFile::Path() { return ProgramFile(QStringLiteral("FilterSet.txt")); }

QStringList FilterSetFile::Parse(const QByteArray& bytes)
{
    QByteArray text = bytes;
    const qsizetype zero = text.indexOf('\0');
    if (zero >= 0)
        text.truncate(zero);
    if (text.startsWith(TextCodec::Utf8Bom))
        text.remove(0, TextCodec::Utf8Bom.size());
    const TextCodec::Encoding encoding = TextCodec::Detect(text);
    QStringList names;
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const char c = text.at(i);
        if (c == '\r' || c == '\n') {
            names << TextCodec::Decode(QByteArrayView(text).sliced(start, i - start), encoding);
            i += (c == '\r' && i + 1 < text.size() && text.at(i + 1) == '\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < text.size())
        names << TextCodec::Decode(QByteArrayView(text).sliced(start), encoding);
    return names;
}

std::optional<QByteArray> FilterSetFile::Format(const QStringList& names, TextCodec::Encoding encoding,
                                                bool bom, QChar* bad)
{
    QByteArray out;
    if (bom && !names.isEmpty())
        out += TextCodec::Utf8Bom;
    for (const QString& name : names) {
        const auto bytes = TextCodec::Encode(name, encoding, bad);
        if (!bytes)
            return std::nullopt;
        out += *bytes + "\r\n";
    }
    return out;
}

QStringList FilterSetFile::Load(const QString& path)
{
    if (!QFileInfo::exists(path))
        return {};
    const auto bytes = SmallFile::Read(path);
    if (!bytes)
        throw Error(QStringLiteral("Cannot open file %1").arg(path));
    return Parse(*bytes);
}

void FilterSetFile::Save(const QString& path, const QStringList& names)
{
    const QString failure = QStringLiteral("Cannot create file %1").arg(path);
    // The file being replaced decides the encoding (up to its first zero
    // byte, where reading stops).
    QByteArray old = SmallFile::Read(path).value_or(QByteArray());
    if (const qsizetype zero = old.indexOf('\0'); zero >= 0)
        old.truncate(zero);
    const bool bom = old.startsWith(TextCodec::Utf8Bom);
    const TextCodec::Encoding encoding = TextCodec::Detect(QByteArrayView(old).sliced(bom ? 3 : 0));
    QChar bad;
    const auto content = Format(names, encoding, bom, &bad);
    if (!content)
        throw Error(failure + QStringLiteral(": ") + TextCodec::UnencodableText(bad, encoding));
    WriteFileAtomically(path, *content, failure);
}
