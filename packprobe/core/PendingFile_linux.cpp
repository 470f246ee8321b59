// Unnamed files on Linux: O_TMPFILE, named later through /proc/self/fd.
#include "packprobe/core/PendingFile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace packprobe {

int OpenUnnamedFile(const QString &folder, bool forLink)
{
    const int flags = O_TMPFILE | O_RDWR | O_CLOEXEC | (forLink ? 0 : O_EXCL);
    // Scratch data is the owner's alone; a saved file gets the usual rights.
    const int fd = ::open(QFile::encodeName(folder).constData(), flags, forLink ? 0666 : 0600);
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL))
        errno = EOPNOTSUPP; // the file system (or an older kernel) has no O_TMPFILE
    return fd;
}

bool LinkUnnamedFile(int fd, const QString &name)
{
    const QByteArray procPath = "/proc/self/fd/" + QByteArray::number(fd);
    return ::linkat(AT_FDCWD, procPath.constData(), AT_FDCWD, QFile::encodeName(name).constData(),
                    AT_SYMLINK_FOLLOW)
           == 0;
}

} // namespace packprobe
