#include "mailmend/core/Thunderbird.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace mailmend {

namespace {

// A lock file that exists but cannot be read counts as locked: the lock of
// a running Thunderbird cannot be ruled out.
bool HasLiveFcntlLock(const QString &file)
{
    const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return errno != ENOENT && errno != ENOTDIR;
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    const bool locked = ::fcntl(fd, F_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
    ::close(fd);
    return locked;
}

// The older lock: a symbolic link whose target is "address:+pid".
bool HasLiveLockLink(const QString &link)
{
    QByteArray raw(256, '\0');
    const ssize_t n = ::readlink(QFile::encodeName(link).constData(), raw.data(), size_t(raw.size() - 1));
    if (n <= 0)
        return false;
    raw.truncate(n);
    const qsizetype plus = raw.lastIndexOf('+');
    bool ok = false;
    const long pid = raw.mid(plus + 1).toLong(&ok);
    if (plus < 0 || !ok || pid <= 0)
        return false;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

} // namespace

bool IsProfileLocked(const QString &profileFolder)
{
    const QDir folder(profileFolder);
    return HasLiveFcntlLock(folder.filePath(QStringLiteral(".parentlock")))
           || HasLiveLockLink(folder.filePath(QStringLiteral("lock")));
}

} // namespace mailmend
