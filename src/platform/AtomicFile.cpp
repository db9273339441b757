#include "AtomicFile.h"

#include "Error.h"
#include "FileOwner.h"
#include "SmallFile.h"

#include <QFileInfo>
#include <QSaveFile>

void WriteFileAtomically(const QString& path, const QByteArray& content, const QString& errorText)
{
    if (content.size() > SmallFile::MaxBytes)
        throw Error(SmallFile::TooLargeText(path, content.size()));
    // A read-only file stays read-only: the rename would otherwise replace it.
    // The permission bits are checked too, because root may write anything.
    const QFileInfo info(path);
    constexpr auto anyWrite = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    if (info.exists() && (!info.isWritable() || !(info.permissions() & anyWrite)))
        throw Error(errorText);
    QSaveFile file(path);
    // Never fall back to writing the target in place: that is what loses data.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        throw Error(errorText);
    // The temporary file gets the owner, group and mode of the one it replaces,
    // so one run under sudo does not take a user's file away.
    if (info.exists())
        KeepOwnerAndMode(file.handle(), QFile::encodeName(path));
    if (file.write(content) != content.size()) {
        file.cancelWriting();
        throw Error(errorText);
    }
    if (!file.commit())
        throw Error(errorText);
}
