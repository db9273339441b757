#include "ImageFileCommit.h"

#include "image/ImageError.h"
#include "platform/FileOwner.h"
#include "platform/PixelWorker.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <memory>
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

// Turns direct I/O on or off for `fd`; false when the file system refuses.
bool setDirect(int fd, bool on)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, on ? flags | O_DIRECT : flags & ~O_DIRECT) == 0;
}

// Writes all of `bytes`. `direct`: the file is open for direct I/O and
// `bytes` is aligned for it; a write the file system refuses that way
// (EINVAL) turns direct I/O off and goes on through the page cache.
void writeAll(int fd, const QString& path, QByteArrayView bytes, bool& direct)
{
    const char* p = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(std::min<qsizetype>(left, 1 << 24)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EINVAL && direct) {
            direct = false;
            if (!setDirect(fd, false))
                fail(path, ImageFileCommit::Reason(errno));
            continue;
        }
        if (n <= 0)
            fail(path, ImageFileCommit::Reason(n < 0 ? errno : ENOSPC));
        p += n;
        left -= n;
    }
}

// A large file goes to the disk directly, in aligned blocks copied through
// one buffer: copying it into the page cache first can take longer than
// the disk write itself (here 350 ms for 128 MB of fresh page-cache pages,
// against 60 ms direct). What is not a whole block at the end, small files,
// and file systems without direct I/O go through the page cache as usual;
// the fdatasync that follows covers both ways.
constexpr qsizetype kDirectAlign = 4096;
constexpr qsizetype kDirectBuffer = 4 * 1024 * 1024;
constexpr qsizetype kDirectMinimum = 1024 * 1024;

void writeParts(int fd, const QString& path, const QList<QByteArrayView>& parts)
{
    qsizetype total = 0;
    for (QByteArrayView part : parts)
        total += part.size();
    const std::unique_ptr<char, void (*)(void*)> buffer(
        total >= kDirectMinimum ? static_cast<char*>(std::aligned_alloc(kDirectAlign, kDirectBuffer)) : nullptr, std::free);
    bool direct = buffer && setDirect(fd, true);
    if (!direct) {
        for (QByteArrayView part : parts)
            writeAll(fd, path, part, direct);
        return;
    }
    qsizetype used = 0;
    for (QByteArrayView part : parts) {
        while (!part.isEmpty()) {
            const qsizetype take = std::min(kDirectBuffer - used, part.size());
            std::memcpy(buffer.get() + used, part.data(), size_t(take));
            used += take;
            part = part.sliced(take);
            if (used == kDirectBuffer) {
                writeAll(fd, path, QByteArrayView(buffer.get(), used), direct);
                used = 0;
            }
        }
    }
    const qsizetype whole = used / kDirectAlign * kDirectAlign;
    writeAll(fd, path, QByteArrayView(buffer.get(), whole), direct);
    if (direct && whole < used && !setDirect(fd, false))
        fail(path, ImageFileCommit::Reason(errno));
    direct = false;
    writeAll(fd, path, QByteArrayView(buffer.get() + whole, used - whole), direct);
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
    writeParts(tmp.fd, path, parts);
    if (mode == Mode::Replace)
        KeepOwnerAndMode(tmp.fd, to);
    if (::fdatasync(tmp.fd) != 0 && errno != EINVAL)
        fail(path, Reason(errno));
    const int fd = tmp.fd;
    tmp.fd = -1;
    if (::close(fd) != 0)
        fail(path, Reason(errno));

    if (mode == Mode::Replace) {
        // The file replaced loses its last name in the rename; freeing its
        // blocks and cached pages (17 ms for 128 MB) happens when the last
        // reference goes. This one is dropped on the worker after the job
        // saving this file, so the save is reported done without waiting.
        const int replaced = ::open(to.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
        const int renamed = ::rename(tmp.name.constData(), to.constData());
        const int error = errno;
        if (replaced >= 0)
            PixelWorker::Run([replaced] { ::close(replaced); }, PixelWorker::Freeing);
        if (renamed != 0)
            fail(path, Reason(error));
    } else if (!placeNew(tmp.name, to)) {
        if (errno == EEXIST)
            throw ImageExistsError(QStringLiteral("Unable to save image %1: a file of that name appeared").arg(path));
        fail(path, Reason(errno));
    }
    tmp.name.clear();
}
