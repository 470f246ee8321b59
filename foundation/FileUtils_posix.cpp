// POSIX side of FileUtils: file descriptors, stat(), flock() for the sharing
// modes, utimensat() for time stamps, rename() for the atomic replacement.

#include "foundation/FileUtils.h"

#include "foundation/FileUtils_p.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace foundation {

namespace FileUtilsPlatform {

const int FileNotFoundError = ENOENT;
const int DiskFullError = ENOSPC;
const int FileExistsError = EEXIST;
const int FolderInTheWayError = EISDIR;

} // namespace FileUtilsPlatform

QString SystemErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

using namespace FileUtilsPlatform;

namespace {

QByteArray Native(const QString &name)
{
    return QFile::encodeName(name);
}

int OpenRetrying(const QByteArray &path, int flags, mode_t mode)
{
    int fd;
    do
        fd = ::open(path.constData(), flags, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

mode_t CreationMode(quint32 rights)
{
    return rights != 0 ? mode_t(rights & 07777) : mode_t(0666);
}

// The advisory lock that stands for a sharing mode: others may share a file
// opened with "deny none" or "deny write"; every other mode keeps other
// lockers out.
int LockOperationFor(quint16 sharing)
{
    return sharing == fmShareDenyNone || sharing == fmShareDenyWrite ? LOCK_SH : LOCK_EX;
}

// 0 when locked or when the file system has no locks (they are advisory),
// EWOULDBLOCK when another holder conflicts.
int LockShared(int fd, int operation)
{
    int result;
    do
        result = ::flock(fd, operation | LOCK_NB);
    while (result < 0 && errno == EINTR);
    if (result == 0 || errno != EWOULDBLOCK)
        return 0;
    return EWOULDBLOCK;
}

void CloseQuietly(int fd)
{
    const int saved = errno;
    ::close(fd);
    errno = saved;
}

TFileTime ToFileTime(const struct timespec &ts)
{
    constexpr qint64 UnixEpochSeconds = 11644473600;
    const qint64 seconds = qint64(ts.tv_sec) + UnixEpochSeconds;
    if (seconds < 0)
        return 0;
    return TFileTime(seconds) * 10000000u + TFileTime(ts.tv_nsec / 100);
}

struct timespec ToTimespec(TFileTime time)
{
    constexpr qint64 UnixEpochSeconds = 11644473600;
    struct timespec ts = {};
    ts.tv_sec = time_t(qint64(time / 10000000u) - UnixEpochSeconds);
    ts.tv_nsec = long(time % 10000000u) * 100;
    return ts;
}

bool IsHiddenName(const QString &name)
{
    const QString base = QFileInfo(name).fileName();
    return base.startsWith(QLatin1Char('.')) && base != QLatin1String(".")
           && base != QLatin1String("..");
}

quint32 AttributesOf(const QString &name, const struct stat &st)
{
    quint32 attributes = 0;
    if (IsHiddenName(name))
        attributes |= faHidden;
    if (S_ISLNK(st.st_mode)) {
        attributes |= faReparsePoint;
        struct stat target;
        const bool isFolder = ::stat(Native(name).constData(), &target) == 0 && S_ISDIR(target.st_mode);
        attributes |= isFolder ? faDirectory : faArchive;
        return attributes;
    }
    if (!(st.st_mode & S_IWUSR))
        attributes |= faReadOnly;
    if (S_ISDIR(st.st_mode))
        attributes |= faDirectory;
    else if (S_ISREG(st.st_mode))
        attributes |= faArchive;
    else
        attributes |= faSysFile;
    return attributes;
}

TFileTime CreationTimeOf(const QString &name, const struct stat &st, bool followLink)
{
#if defined(__linux__) && defined(STATX_BTIME)
    struct statx sx;
    const int flags = followLink ? 0 : AT_SYMLINK_NOFOLLOW;
    if (::statx(AT_FDCWD, Native(name).constData(), flags, STATX_BTIME, &sx) == 0
        && (sx.stx_mask & STATX_BTIME)) {
        struct timespec ts = {};
        ts.tv_sec = time_t(sx.stx_btime.tv_sec);
        ts.tv_nsec = long(sx.stx_btime.tv_nsec);
        return ToFileTime(ts);
    }
#endif
#if defined(__APPLE__)
    return ToFileTime(st.st_birthtimespec);
#else
    return ToFileTime(st.st_ctim);
#endif
}

TFileTime AccessTimeOf(const struct stat &st)
{
#if defined(__APPLE__)
    return ToFileTime(st.st_atimespec);
#else
    return ToFileTime(st.st_atim);
#endif
}

TFileTime WriteTimeOf(const struct stat &st)
{
#if defined(__APPLE__)
    return ToFileTime(st.st_mtimespec);
#else
    return ToFileTime(st.st_mtim);
#endif
}

void FillFileData(const QString &name, const struct stat &st, bool followLink, TFileData &data)
{
    data.Attributes = AttributesOf(name, st);
    data.CreationTime = CreationTimeOf(name, st, followLink);
    data.LastAccessTime = AccessTimeOf(st);
    data.LastWriteTime = WriteTimeOf(st);
    data.Size = S_ISREG(st.st_mode) || S_ISLNK(st.st_mode) ? quint64(st.st_size) : 0;
}

} // namespace

// ---------------------------------------------------------------------------
// TExtFileStream

TExtFileStream::TExtFileStream(const QString &name, quint16 mode, quint32 rights) : FFileName(name)
{
    const QByteArray path = Native(name);
    const bool create = (mode & fmCreate) == fmCreate;
    int flags = O_CLOEXEC;
    quint16 sharing;
    if (create) {
        // Truncated only once locked, so that a file another stream holds is
        // not emptied by a create that then fails.
        flags |= O_RDWR | O_CREAT;
        sharing = quint16(mode & 0xF0);
        if (sharing != fmShareDenyNone && sharing != fmShareDenyWrite && sharing != fmShareDenyRead)
            sharing = fmShareExclusive;
    } else {
        switch (mode & 0x0F) {
        case fmOpenRead:
            flags |= O_RDONLY;
            break;
        case fmOpenWrite:
            flags |= O_WRONLY;
            break;
        case fmOpenReadWrite:
            flags |= O_RDWR;
            break;
        default:
            RaiseStreamError(name, false, EINVAL);
        }
        sharing = quint16(mode & 0xF0);
    }
    const int fd = OpenRetrying(path, flags, CreationMode(rights));
    if (fd < 0)
        RaiseStreamError(name, create, errno);
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) { // a folder is no file stream
        CloseQuietly(fd);
        RaiseStreamError(name, create, EISDIR);
    }
    if (const int error = LockShared(fd, LockOperationFor(sharing))) {
        CloseQuietly(fd);
        RaiseStreamError(name, create, error);
    }
    if (create) {
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size != 0
            && ::ftruncate(fd, 0) != 0) {
            const int error = errno;
            CloseQuietly(fd);
            RaiseStreamError(name, true, error);
        }
    }
    FHandle = fd;
}

TExtFileStream::TExtFileStream(const QString &name, quint32 rights, CreateNewTag) : FFileName(name)
{
    const int fd = OpenRetrying(Native(name), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, CreationMode(rights));
    if (fd < 0)
        RaiseStreamError(name, true, errno);
    LockShared(fd, LOCK_EX); // a brand-new file: nobody else can hold a lock yet
    FHandle = fd;
}

TExtFileStream::~TExtFileStream()
{
    if (FHandle >= 0)
        ::close(int(FHandle));
}

qint32 TExtFileStream::Read(void *buffer, qint32 count, qint32 &readCount)
{
    readCount = -1;
    if (count < 0 || (count > 0 && !buffer))
        return EINVAL;
    if (FHandle < 0)
        return EBADF;
    // Fills the buffer unless the file ends, so that a short count always
    // means "end of file" (pipes and /proc files deliver in pieces).
    auto *bytes = static_cast<char *>(buffer);
    qint32 done = 0;
    while (done < count) {
        const ssize_t n = ::read(int(FHandle), bytes + done, size_t(count - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            break;
        done += qint32(n);
    }
    readCount = done;
    return 0;
}

qint32 TExtFileStream::Write(const void *buffer, qint32 count, qint32 &writeCount)
{
    writeCount = -1;
    if (count < 0 || (count > 0 && !buffer))
        return EINVAL;
    if (FHandle < 0)
        return EBADF;
    const auto *bytes = static_cast<const char *>(buffer);
    qint32 done = 0;
    while (done < count) {
        const ssize_t n = ::write(int(FHandle), bytes + done, size_t(count - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            break;
        done += qint32(n);
    }
    writeCount = done;
    return 0;
}

qint64 TExtFileStream::Seek(qint64 offset, int origin)
{
    int whence;
    switch (origin) {
    case soFromBeginning:
        whence = SEEK_SET;
        break;
    case soFromCurrent:
        whence = SEEK_CUR;
        break;
    case soFromEnd:
        whence = SEEK_END;
        break;
    default:
        errno = EINVAL;
        return -1;
    }
    if (FHandle < 0) {
        errno = EBADF;
        return -1;
    }
    return qint64(::lseek(int(FHandle), off_t(offset), whence));
}

qint64 TExtFileStream::Position() const
{
    return FHandle < 0 ? -1 : qint64(::lseek(int(FHandle), 0, SEEK_CUR));
}

qint64 TExtFileStream::Size() const
{
    struct stat st;
    if (FHandle < 0 || ::fstat(int(FHandle), &st) != 0)
        return -1;
    return qint64(st.st_size);
}

qint32 TExtFileStream::SetSize(qint64 size)
{
    if (FHandle < 0)
        return EBADF;
    if (size < 0)
        return EINVAL;
    int result;
    do
        result = ::ftruncate(int(FHandle), off_t(size));
    while (result < 0 && errno == EINTR);
    return result == 0 ? 0 : errno;
}

qint32 TExtFileStream::Flush()
{
    if (FHandle < 0)
        return EBADF;
    int result;
    do
        result = ::fsync(int(FHandle));
    while (result < 0 && errno == EINTR);
    if (result == 0 || errno == EINVAL || errno == EROFS) // devices and pipes cannot be synced
        return 0;
    return errno;
}

qint32 TExtFileStream::Close()
{
    if (FHandle < 0)
        return 0;
    const int fd = int(FHandle);
    FHandle = -1;
    // The descriptor is released even when close reports an error (POSIX
    // leaves it closed on Linux); the error is still worth reporting because
    // deferred write errors (NFS, quotas) appear here.
    if (::close(fd) != 0 && errno != EINTR)
        return errno;
    return 0;
}

// ---------------------------------------------------------------------------
// Attributes and file data

quint32 GetFileAttributesOf(const QString &name)
{
    struct stat st;
    if (name.isEmpty() || ::lstat(Native(name).constData(), &st) != 0)
        return faInvalid;
    return AttributesOf(name, st);
}

qint32 SetFileAttributesOf(const QString &name, quint32 attributes)
{
    struct stat st;
    const QByteArray path = Native(name);
    if (name.isEmpty())
        return ENOENT;
    if (::lstat(path.constData(), &st) != 0)
        return errno;
    if (S_ISLNK(st.st_mode))
        return 0; // chmod would change the target
    mode_t mode = st.st_mode & 07777;
    if (attributes & faReadOnly)
        mode &= ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH);
    else if (!(mode & S_IWUSR))
        mode |= S_IWUSR;
    if (mode == (st.st_mode & 07777))
        return 0;
    return ::chmod(path.constData(), mode) == 0 ? 0 : errno;
}

qint32 GetFileData(const QString &name, TFileData &data, bool followLink)
{
    const QByteArray path = Native(name);
    struct stat st;
    if (name.isEmpty())
        return ENOENT;
    if (::lstat(path.constData(), &st) != 0)
        return errno;
    if (followLink && S_ISLNK(st.st_mode)) {
        // The data of the final target, described under the target's own name.
        QString target;
        if (!GetLinkTarget(name, target))
            return ::stat(path.constData(), &st) != 0 ? errno : ENOENT;
        if (::stat(Native(target).constData(), &st) != 0)
            return errno;
        FillFileData(target, st, true, data);
        return 0;
    }
    FillFileData(name, st, false, data);
    return 0;
}

bool FindFileData(const QString &name, TFileData &data)
{
    struct stat st;
    if (name.isEmpty() || ::lstat(Native(name).constData(), &st) != 0)
        return false;
    // A link to a folder carries the folder bit in its directory entry (as a
    // directory link does on Windows), so it counts as a folder too.
    TFileData entry;
    FillFileData(name, st, false, entry);
    if (entry.Attributes & faDirectory)
        return false;
    data = entry;
    return true;
}

// ---------------------------------------------------------------------------
// Links, shortcuts, recycle bin

bool GetLinkTarget(const QString &name, QString &target)
{
    struct stat st;
    const QByteArray path = Native(name);
    if (name.isEmpty() || ::lstat(path.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
        return false;
    char resolved[PATH_MAX];
    if (!::realpath(path.constData(), resolved))
        return false;
    target = QFile::decodeName(resolved);
    return true;
}

qint32 GetShortcutInfo(const QString &shortcut, QString &target, QString &arguments,
                       QString &workingFolder, QString &description, bool &runAsAdmin)
{
    target.clear();
    arguments.clear();
    workingFolder.clear();
    description.clear();
    runAsAdmin = false;
    if (!QFileInfo::exists(shortcut))
        return 2;
    return qint32(0x80004001u); // not implemented: this platform has no shortcut files
}

namespace {

// QFile::moveToTrash (Qt 6.4) moves the item into "files" below the current
// working folder and reports success when it cannot establish a trash folder
// (for instance when the user's data folder does not exist); the path it gives
// back is then relative. Puts such an item back where it was.
void UndoStrayTrashMove(const QString &original, const QString &pathInTrash, bool hadFiles,
                        bool hadInfo)
{
    const QDir current = QDir::current();
    ::rename(Native(current.absoluteFilePath(pathInTrash)).constData(), Native(original).constData());
    const QString info = QStringLiteral("info/") + QFileInfo(pathInTrash).fileName()
                         + QStringLiteral(".trashinfo");
    ::unlink(Native(current.absoluteFilePath(info)).constData());
    if (!hadFiles)
        ::rmdir(Native(current.absoluteFilePath(QStringLiteral("files"))).constData());
    if (!hadInfo)
        ::rmdir(Native(current.absoluteFilePath(QStringLiteral("info"))).constData());
}

} // namespace

qint32 RecycleFolder(quintptr, const QString &folder)
{
    if (folder.isEmpty())
        return ENOENT;
    const QString name = QFileInfo(QDir::cleanPath(folder)).absoluteFilePath();
    struct stat st;
    if (::lstat(Native(name).constData(), &st) != 0)
        return errno;
    if (!S_ISDIR(st.st_mode))
        return ENOTDIR;
    // The home trash lives in the user's data folder, which a fresh account
    // may not have yet.
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (!dataHome.isEmpty())
        QDir().mkpath(dataHome);

    const QDir current = QDir::current();
    const bool hadFiles = current.exists(QStringLiteral("files"));
    const bool hadInfo = current.exists(QStringLiteral("info"));
    QString pathInTrash;
    errno = 0;
    if (!QFile::moveToTrash(name, &pathInTrash))
        return errno != 0 ? errno : EIO;
    if (QDir::isAbsolutePath(pathInTrash))
        return 0;
    UndoStrayTrashMove(name, pathInTrash, hadFiles, hadInfo);
    return ENOTSUP; // no trash can be reached for this folder
}

// ---------------------------------------------------------------------------
// Platform layer of the copy

bool IsSameFile(const QString &a, const QString &b)
{
    struct stat sa, sb;
    if (a.isEmpty() || b.isEmpty() || ::stat(Native(a).constData(), &sa) != 0
        || ::stat(Native(b).constData(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

namespace FileUtilsPlatform {

QString CopyTargetOf(const QString &destination)
{
    struct stat st;
    if (::lstat(Native(destination).constData(), &st) != 0 || !S_ISLNK(st.st_mode))
        return destination;
    QString target;
    if (GetLinkTarget(destination, target))
        return target;
    // A dangling link: the copy creates the file it points to, as opening
    // the link for writing would.
    const QString next = QFileInfo(destination).symLinkTarget();
    return next.isEmpty() ? destination : next;
}

bool IsSpecialFile(const QString &target)
{
    struct stat st;
    return ::stat(Native(target).constData(), &st) == 0 && !S_ISREG(st.st_mode)
           && !S_ISDIR(st.st_mode);
}

qint32 PrepareReplace(const QString &)
{
    return 0; // rename() replaces a read-only file as well
}

void InheritFileSecurity(const QString &target, TExtFileStream &stream)
{
    struct stat st;
    if (::stat(Native(target).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return;
    const int fd = int(stream.Handle());
    // A file that replaces another keeps its permissions (a private file stays
    // private) and, where allowed, its owner and group.
    if (::fchown(fd, st.st_uid, st.st_gid) != 0 && ::fchown(fd, uid_t(-1), st.st_gid) != 0) {
        // not permitted: the new file belongs to the copying user
    }
    ::fchmod(fd, st.st_mode & 07777);
}

qint32 SetLastWriteTime(const QString &name, TFileTime time)
{
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1] = ToTimespec(time);
    return ::utimensat(AT_FDCWD, Native(name).constData(), times, 0) == 0 ? 0 : errno;
}

qint32 RenameOver(const QString &source, const QString &target)
{
    return ::rename(Native(source).constData(), Native(target).constData()) == 0 ? 0 : errno;
}

void SyncFolderOf(const QString &name)
{
    const QByteArray folder = Native(QFileInfo(name).absolutePath());
    const int fd = OpenRetrying(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

void RemoveFileQuietly(const QString &name)
{
    ::unlink(Native(name).constData());
}

} // namespace FileUtilsPlatform

} // namespace foundation
