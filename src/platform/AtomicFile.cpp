#include "AtomicFile.h"

#include "Error.h"
#include "SmallFile.h"

#include <QFileInfo>
#include <QSaveFile>

#include <sys/stat.h>
#include <unistd.h>

namespace {
// Gives the temporary file the owner, group and mode of the file it replaces,
// so one run under sudo does not take a user's file away. The owner is kept
// where the process may change it (root may; others keep their own), the
// mode always (after the owner: a change of owner clears set-id bits).
void keepOwnerAndMode(int fd, const QString& path)
{
    struct stat old {};
    if (fd < 0 || ::stat(QFile::encodeName(path).constData(), &old) != 0)
        return;
    struct stat now {};
    if (::fstat(fd, &now) == 0 && (now.st_uid != old.st_uid || now.st_gid != old.st_gid)) {
        if (::fchown(fd, old.st_uid, old.st_gid) != 0)
            (void)::fchown(fd, uid_t(-1), old.st_gid);
    }
    (void)::fchmod(fd, old.st_mode & 07777);
}
}

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
    if (info.exists())
        keepOwnerAndMode(file.handle(), path);
    if (file.write(content) != content.size()) {
        file.cancelWriting();
        throw Error(errorText);
    }
    if (!file.commit())
        throw Error(errorText);
}
