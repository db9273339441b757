#include "AtomicFile.h"

#include "Error.h"

#include <QFileInfo>
#include <QSaveFile>

void WriteFileAtomically(const QString& path, const QByteArray& content, const QString& errorText)
{
    // A read-only file stays read-only: the rename would otherwise replace it.
    const QFileInfo info(path);
    if (info.exists() && !info.isWritable())
        throw Error(errorText);
    QSaveFile file(path);
    // Never fall back to writing the target in place: that is what loses data.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        throw Error(errorText);
    if (file.write(content) != content.size()) {
        file.cancelWriting();
        throw Error(errorText);
    }
    if (!file.commit())
        throw Error(errorText);
}
