#include "TSequence.h"

#include "SequenceItemLine.h"

#include "platform/AtomicFile.h"
#include "platform/Error.h"
#include "platform/IniFile.h"
#include "platform/IniText.h"
#include "platform/LocaleInfo.h"
#include "platform/SmallFile.h"
#include "platform/TextCodec.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <cmath>

namespace {
const QString kSection = QStringLiteral("Sequence");

// A decimal number of the file, converted digit by digit to Decimal4 (so
// 0.00004 reads as 0 and 0.00006 as 0.0001); an empty or unparsable value
// gives the default.
Decimal4 readDecimal(const IniFile& ini, const QString& key, Decimal4 def)
{
    const QString text = ini.ReadString(kSection, key, QString());
    if (text.isEmpty())
        return def;
    if (const auto value = Decimal4::FromText(text, DecimalSeparator()))
        return *value;
    return def;
}

int readCount(const IniFile& ini)
{
    const double n = std::trunc(ini.ReadFloat(kSection, QStringLiteral("Items"), 0.0));
    if (!(n > 0))
        return 0;
    return n > TSequence::MaxItems ? TSequence::MaxItems : int(n);
}
}

TSequence::TSequence(const QString& fileName) : FileName(fileName) {}

QString TSequence::DefaultDestDir()
{
#ifdef Q_OS_WIN
    return QStringLiteral("C:\\");
#else
    return QDir::homePath() + QLatin1Char('/');
#endif
}

const QString TSequence::DefaultFileName = QStringLiteral("Sequence1.seq");


void TSequence::Clear()
{
    Items.clear();
}

void TSequence::Load(const QString& fileName)
{
    const IniFile ini(fileName);
    // The item lines from one read of the file, not one reopening per item;
    // a file too large to read throws here, before the model changes.
    const QHash<QString, QString> items = ini.ReadSection(kSection);
    FileName = fileName;
    ImgFileName = ini.ReadString(kSection, QStringLiteral("ImgFileName"), QStringLiteral("Img"));
    DestDir = ini.ReadString(kSection, QStringLiteral("DestDir"), DefaultDestDir());
    Iterations = ini.ReadInteger(kSection, QStringLiteral("Iterations"), 1);
    StartIteration = ini.ReadInteger(kSection, QStringLiteral("StartIteration"), 1);
    DelayFrame = ini.ReadInteger(kSection, QStringLiteral("DelayFrame"), 10);
    PixelDither = readDecimal(ini, QStringLiteral("PixelDither"), Decimal4::FromCount(10000));
    WhileGuideError = readDecimal(ini, QStringLiteral("WhileGuideError"), Decimal4::FromCount(10000));
    AllowList = ini.ReadBool(kSection, QStringLiteral("AllowList"), false);
    const int n = readCount(ini);

    Clear();
    MalformedItems.clear();
    for (int i = 0; i < n; ++i) {
        const QString line = items.value(QStringLiteral("item%1").arg(i));
        const ParsedItemLine parsed = ParseItemLine(line);
        if (!parsed.complete)
            MalformedItems.append(i);
        Items.append(parsed.item);
    }
}

QString TSequence::FileText() const
{
    // The lines a fresh INI file receives key by key, built in one pass.
    QString text = QStringLiteral("[Sequence]\r\n");
    const auto add = [&text](const QString& key, const QString& value) {
        text += key + QLatin1Char('=') + value + QStringLiteral("\r\n");
    };
    add(QStringLiteral("ImgFileName"), IniText::quoteValue(ImgFileName));
    add(QStringLiteral("DestDir"), IniText::quoteValue(DestDir));
    add(QStringLiteral("Iterations"), QString::number(Iterations));
    add(QStringLiteral("StartIteration"), QString::number(StartIteration));
    add(QStringLiteral("DelayFrame"), QString::number(DelayFrame));
    add(QStringLiteral("PixelDither"), PixelDither.ToText());
    add(QStringLiteral("WhileGuideError"), WhileGuideError.ToText());
    add(QStringLiteral("AllowList"), AllowList ? QStringLiteral("1") : QStringLiteral("0"));
    add(QStringLiteral("Items"), QString::number(Items.size()));
    for (int i = 0; i < Items.size(); ++i)
        add(QStringLiteral("Item%1").arg(i), FormatItemLine(Items[i]));
    return text;
}

void TSequence::Save() const
{
    const QString failure = QStringLiteral("Unable to write to %1").arg(FileName);
    for (const QString& value : {ImgFileName, DestDir}) {
        if (value.contains(QLatin1Char('\r')) || value.contains(QLatin1Char('\n')))
            throw Error(failure + QStringLiteral(": a value may not hold a line break"));
    }
    for (const TSequenceItem& item : Items) {
        if (item.Suffix.contains(QLatin1Char('\r')) || item.Suffix.contains(QLatin1Char('\n')))
            throw Error(failure + QStringLiteral(": a value may not hold a line break"));
    }
    // The file written keeps the encoding and byte-order mark of the file it
    // replaces, so a file written on Windows stays readable there.
    const QByteArray old = SmallFile::Read(FileName).value_or(QByteArray());
    const bool bom = old.startsWith(TextCodec::Utf8Bom);
    const TextCodec::Encoding encoding = TextCodec::Detect(QByteArrayView(old).sliced(bom ? 3 : 0));
    QChar bad;
    const auto bytes = TextCodec::Encode(FileText(), encoding, &bad);
    if (!bytes)
        throw Error(failure + QStringLiteral(": ") + TextCodec::UnencodableText(bad, encoding));
    WriteFileAtomically(FileName, bom ? TextCodec::Utf8Bom.toByteArray() + *bytes : *bytes, failure);
}
