#include "mailmend/core/MailFileIo.h"

#include "foundation/FileUtils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

// Locks that belong to the open file rather than to the process where the
// system has them, so that another descriptor of this process on the same
// file cannot drop the writer's lock by being closed.
#if defined(F_OFD_SETLK)
constexpr int LockSetCommand = F_OFD_SETLK;
constexpr int LockGetCommand = F_OFD_GETLK;
#else
constexpr int LockSetCommand = F_SETLK;
constexpr int LockGetCommand = F_GETLK;
#endif

QByteArray NativeName(const QString &path)
{
    return QFile::encodeName(path);
}

TFileIdentity IdentityFromStat(const struct stat &st)
{
    TFileIdentity id;
    id.Size = st.st_size;
#if defined(__APPLE__)
    id.ModifiedNs = qint64(st.st_mtimespec.tv_sec) * 1000000000 + st.st_mtimespec.tv_nsec;
#else
    id.ModifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
#endif
    id.Device = quint64(st.st_dev);
    id.FileId = quint64(st.st_ino);
    return id;
}

int OpenRetrying(const QByteArray &name, int flags, mode_t mode = 0)
{
    int fd;
    do {
        fd = ::open(name.constData(), flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

struct flock WholeFileLock(short type)
{
    struct flock lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;
    return lock;
}

void SyncFolder(const QString &folder)
{
    // Makes the rename durable. Some file systems refuse to sync a folder;
    // the rename has happened by then, so there is nothing to undo.
    const int fd = OpenRetrying(NativeName(folder), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

TFileIdentity FileIdentityOf(const QString &path)
{
    struct stat st;
    if (::stat(NativeName(path).constData(), &st) != 0)
        return {};
    return IdentityFromStat(st);
}

qint64 FreeDiskSpace(const QString &folder)
{
    struct statvfs vfs;
    if (::statvfs(NativeName(folder).constData(), &vfs) != 0)
        return -1;
    return qint64(vfs.f_bavail) * qint64(vfs.f_frsize);
}

// ---------------------------------------------------------------------------

TFolderReadFile::TFolderReadFile(const QString &path)
    : FFileName(path)
{
    const int fd = OpenRetrying(NativeName(path), O_RDONLY);
    if (fd < 0) {
        const int error = errno;
        throw EExtFileStreamError::CreateResFmt("Cannot open file \"%s\". %s", error, path,
                                                SystemErrorText(error));
    }
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        throw EExtFileStreamError::CreateResFmt("Cannot open file \"%s\". %s", EISDIR, path,
                                                SystemErrorText(EISDIR));
    }
#if defined(POSIX_FADV_SEQUENTIAL)
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    FHandle = fd;
}

TFolderReadFile::~TFolderReadFile()
{
    Close();
}

void TFolderReadFile::Close()
{
    if (FHandle >= 0)
        ::close(int(FHandle));
    FHandle = -1;
}

qint64 TFolderReadFile::ReadFull(void *buffer, qint64 count)
{
    auto *out = static_cast<char *>(buffer);
    qint64 done = 0;
    while (done < count) {
        const ssize_t n = ::read(int(FHandle), out + done, size_t(count - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            FLastError = errno;
            return -1;
        }
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

TFileIdentity TFolderReadFile::Identity() const
{
    struct stat st;
    if (::fstat(int(FHandle), &st) != 0)
        return {};
    return IdentityFromStat(st);
}

// ---------------------------------------------------------------------------

TReplacementFile::TReplacementFile(const QString &target)
    : FTarget(target)
{
    struct stat original;
    const bool haveOriginal = ::stat(NativeName(target).constData(), &original) == 0;
    // A write-protected folder file stays as it is: the rename would replace
    // it regardless of its own permission bits.
    if (haveOriginal && ::faccessat(AT_FDCWD, NativeName(target).constData(), W_OK, AT_EACCESS) != 0) {
        const int error = errno;
        throw EExtFileStreamError::CreateResFmt("Cannot create file \"%s\". %s", error, target,
                                                SystemErrorText(error));
    }

    int fd = -1;
    int error = 0;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        const QString name = ReplacementPrefix(target)
                             + QString::number(QRandomGenerator::global()->generate64(), 36)
                             + QLatin1String(ReplacementSuffix);
        // Owner-only until the data is complete; the original's bits follow.
        fd = OpenRetrying(NativeName(name), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, 0600);
        error = errno;
        if (fd >= 0)
            FTempName = name;
        else if (error != EEXIST)
            break;
    }
    if (fd < 0)
        throw EExtFileStreamError::CreateResFmt("Cannot create file \"%s\". %s", error, target,
                                                SystemErrorText(error));
    FHandle = fd;

    struct flock lock = WholeFileLock(F_WRLCK);
    ::fcntl(fd, LockSetCommand, &lock);

    if (haveOriginal) {
        // The owner first: changing it may clear set-id bits that the mode
        // then restores. Only a privileged process may give the file away.
        if (::fchown(fd, original.st_uid, original.st_gid) != 0)
            (void)::fchown(fd, uid_t(-1), original.st_gid);
        ::fchmod(fd, original.st_mode & 07777);
    }
}

TReplacementFile::~TReplacementFile()
{
    Discard();
}

void TReplacementFile::CloseHandle()
{
    if (FHandle >= 0) {
        ::close(int(FHandle));
        FHandle = -1;
    }
}

void TReplacementFile::Discard()
{
    if (FCommitted)
        return;
    // Unlink before closing, so that the lock is held as long as the name
    // exists and no cleaner can mistake the file for a stale one.
    if (!FTempName.isEmpty())
        ::unlink(NativeName(FTempName).constData());
    CloseHandle();
    FTempName.clear();
}

bool TReplacementFile::Write(const void *data, qint64 count)
{
    const auto *in = static_cast<const char *>(data);
    while (count > 0) {
        const ssize_t n = ::write(int(FHandle), in, size_t(count));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            FLastError = errno;
            return false;
        }
        if (n == 0) {
            FLastError = ENOSPC;
            return false;
        }
        in += n;
        count -= n;
    }
    return true;
}

bool TReplacementFile::Commit()
{
    if (FHandle < 0 || FCommitted)
        return FCommitted;
    if (::fsync(int(FHandle)) != 0) {
        FLastError = errno;
        Discard();
        return false;
    }
    if (::rename(NativeName(FTempName).constData(), NativeName(FTarget).constData()) != 0) {
        FLastError = errno;
        Discard();
        return false;
    }
    FCommitted = true;
    const int fd = int(FHandle);
    FHandle = -1;
    // Close errors after fsync are not data errors any more (the data are on
    // the device), and the rename has replaced the folder already.
    ::close(fd);
    SyncFolder(QFileInfo(FTarget).absolutePath());
    return true;
}

// ---------------------------------------------------------------------------

int RemoveStaleReplacements(const QString &target)
{
    const QString prefix = ReplacementPrefix(target);
    const QFileInfo prefixInfo(prefix);
    const QDir folder(prefixInfo.absolutePath());
    const QString namePrefix = prefixInfo.fileName();
    int removed = 0;
    const QStringList names = folder.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names) {
        if (!name.startsWith(namePrefix) || !name.endsWith(QLatin1String(ReplacementSuffix)))
            continue;
        const QString full = folder.filePath(name);
        const int fd = OpenRetrying(NativeName(full), O_RDWR | O_NOFOLLOW);
        if (fd < 0)
            continue;
        struct flock lock = WholeFileLock(F_WRLCK);
        const bool unlocked = ::fcntl(fd, LockGetCommand, &lock) == 0 && lock.l_type == F_UNLCK;
        if (unlocked && ::unlink(NativeName(full).constData()) == 0)
            ++removed;
        ::close(fd);
    }
    return removed;
}
