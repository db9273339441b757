#include "ImageFileCommit.h"

#include "image/ImageError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
[[noreturn]] void fail(const QString& path, const QString& reason)
{
    throw ImageError(QStringLiteral("Unable to save image %1: %2").arg(path, reason));
}

// Closes and removes the temporary file unless it was put in place.
class TemporaryFile {
public:
    ~TemporaryFile()
    {
        if (fd >= 0)
            ::close(fd);
        if (!name.isEmpty())
            ::unlink(name.constData());
    }
    int fd = -1;
    QByteArray name;   // empty once it is in place (or gone)
};

void createIn(const QString& dir, const QString& path, TemporaryFile& tmp)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray name = QFile::encodeName(
            dir + QStringLiteral("/.tandexa-%1.tmp").arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0')));
        // 0666 less the umask, as for any new file; the owner's on replace.
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            tmp.fd = fd;
            tmp.name = name;
            return;
        }
        if (errno != EEXIST)
            fail(path, ImageFileCommit::Reason(errno));
    }
    fail(path, QStringLiteral("no free temporary file name in %1").arg(QDir::toNativeSeparators(dir)));
}

void writeAll(int fd, const QString& path, QByteArrayView bytes)
{
    const char* p = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(std::min<qsizetype>(left, 1 << 24)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            fail(path, ImageFileCommit::Reason(n < 0 ? errno : ENOSPC));
        p += n;
        left -= n;
    }
}

// Gives the new file the mode and, where allowed, the owner of the one it
// replaces (after the owner: a change of owner clears set-id bits).
void keepOwnerAndMode(int fd, const QByteArray& target)
{
    struct stat old {};
    if (::stat(target.constData(), &old) != 0)
        return;
    struct stat now {};
    if (::fstat(fd, &now) == 0 && (now.st_uid != old.st_uid || now.st_gid != old.st_gid)) {
        if (::fchown(fd, old.st_uid, old.st_gid) != 0)
            (void)::fchown(fd, uid_t(-1), old.st_gid);
    }
    (void)::fchmod(fd, old.st_mode & 07777);
}

// Puts `from` at `to` only if nothing is there; errno EEXIST when something is.
bool placeNew(const QByteArray& from, const QByteArray& to)
{
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return false;
#endif
    // The file system cannot rename without replacing: a second name that
    // link(2) refuses to put over an existing file, then the first removed.
    if (::link(from.constData(), to.constData()) != 0)
        return false;
    ::unlink(from.constData());
    return true;
}
}

QString ImageFileCommit::Reason(int error)
{
    if (error == ENOSPC)
        return QStringLiteral("no space left on the device");
    if (error == EDQUOT)
        return QStringLiteral("the disk quota is used up");
    return QString::fromLocal8Bit(std::strerror(error));
}

void ImageFileCommit::Write(const QString& path, const QList<QByteArrayView>& parts, Mode mode)
{
    if (path.trimmed().isEmpty())
        fail(path, QStringLiteral("no file name given"));
    const QFileInfo target(path);
    const QFileInfo dir(target.absolutePath());
    if (!dir.exists())
        fail(path, QStringLiteral("the folder %1 does not exist").arg(QDir::toNativeSeparators(dir.filePath())));
    if (!dir.isDir())
        fail(path, QStringLiteral("%1 is not a folder").arg(QDir::toNativeSeparators(dir.filePath())));
    if (target.isDir())
        fail(path, QStringLiteral("a folder of that name exists"));
    const QByteArray to = QFile::encodeName(target.absoluteFilePath());
    if (mode == Mode::CreateNew && (target.exists() || target.isSymLink()))
        throw ImageExistsError(QStringLiteral("Unable to save image %1: a file of that name appeared").arg(path));

    TemporaryFile tmp;
    createIn(dir.absoluteFilePath(), path, tmp);
    for (QByteArrayView part : parts)
        writeAll(tmp.fd, path, part);
    if (mode == Mode::Replace)
        keepOwnerAndMode(tmp.fd, to);
    if (::fdatasync(tmp.fd) != 0 && errno != EINVAL)
        fail(path, Reason(errno));
    const int fd = tmp.fd;
    tmp.fd = -1;
    if (::close(fd) != 0)
        fail(path, Reason(errno));

    if (mode == Mode::Replace) {
        if (::rename(tmp.name.constData(), to.constData()) != 0)
            fail(path, Reason(errno));
    } else if (!placeNew(tmp.name, to)) {
        if (errno == EEXIST)
            throw ImageExistsError(QStringLiteral("Unable to save image %1: a file of that name appeared").arg(path));
        fail(path, Reason(errno));
    }
    tmp.name.clear();
}
