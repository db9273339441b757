#include "FileOwner.h"

#include <sys/stat.h>
#include <unistd.h>

void KeepOwnerAndMode(int fd, const QByteArray& target)
{
    struct stat old {};
    if (fd < 0 || ::stat(target.constData(), &old) != 0)
        return;
    struct stat now {};
    if (::fstat(fd, &now) == 0 && (now.st_uid != old.st_uid || now.st_gid != old.st_gid)) {
        if (::fchown(fd, old.st_uid, old.st_gid) != 0)
            (void)::fchown(fd, uid_t(-1), old.st_gid);
    }
    (void)::fchmod(fd, old.st_mode & 07777);
}
