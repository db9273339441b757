// The sequence file: any file loads; load, save, load gives the same model.
#include "FuzzCheck.h"
#include "platform/Error.h"
#include "platform/LocaleInfo.h"
#include "sequence/TSequence.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {
bool same(const TSequence& a, const TSequence& b)
{
    return a.ImgFileName == b.ImgFileName && a.DestDir == b.DestDir && a.Iterations == b.Iterations
           && a.StartIteration == b.StartIteration && a.DelayFrame == b.DelayFrame
           && a.PixelDither == b.PixelDither && a.WhileGuideError == b.WhileGuideError
           && a.AllowList == b.AllowList && a.Items == b.Items;
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Memory-backed where there is one: saving syncs the file to disk.
    static QTemporaryDir dir(QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm/tandexa-fuzz-XXXXXX")
                                                        : QDir::tempPath() + QStringLiteral("/tandexa-fuzz-XXXXXX"));
    SetDecimalSeparator(QChar('.'));
    const QString in = dir.filePath("in.seq");
    const QString out = dir.filePath("out.seq");
    {
        QFile f(in);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    QFile::remove(out);
    TSequence first;
    first.Load(in);
    first.FileName = out;
    // Only an item suffix with a line break may be refused (it cannot come
    // from a file); a new file is UTF-8 and holds every character.
    first.Save();
    TSequence second;
    second.Load(out);
    FUZZ_CHECK(same(first, second), "load, save, load differs: [%s] vs [%s], [%s] vs [%s]",
               qPrintable(first.ImgFileName), qPrintable(second.ImgFileName), qPrintable(first.DestDir),
               qPrintable(second.DestDir));
    FUZZ_CHECK(second.MalformedItems.isEmpty(), "a saved item line did not read back");
    return 0;
}
