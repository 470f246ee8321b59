#include "mailmend/core/MailFileIo.h"

#include "foundation/FileUtils.h"
#include "mailmend/core/MailFolder.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mailmend {

using namespace foundation;

namespace {

using MailFileIoDetail::ThrowNotRegular;
using MailFileIoDetail::ThrowOpenError;

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

// Repeats a read or write call until count bytes are done or the file
// ends; interrupted calls are repeated. Returns the bytes done, or -1 with
// the error number in lastError.
template <class Call>
qint64 Transfer(qint64 count, int &lastError, Call call)
{
    qint64 done = 0;
    while (done < count) {
        const ssize_t n = call(done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            lastError = errno;
            return -1;
        }
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

} // namespace

TPathKind PathKindOf(const QString &path, int *errorOut)
{
    struct stat st;
    if (::stat(NativeName(path).constData(), &st) != 0) {
        if (errorOut)
            *errorOut = errno;
        return TPathKind::Missing;
    }
    return S_ISREG(st.st_mode) ? TPathKind::RegularFile : TPathKind::Other;
}

TFileIdentity FileIdentityOf(const QString &path)
{
    struct stat st;
    if (::stat(NativeName(path).constData(), &st) != 0)
        return {};
    return IdentityFromStat(st);
}

TFolderFile::TFolderFile(const QString &path, TAccess access)
    : FFileName(path)
{
    const bool forWriting = access == TAccess::ReadWrite;
    MailFileIoDetail::RefuseUnlessRegularFile(path);
    // O_NONBLOCK keeps a path swapped for a FIFO since the test from
    // blocking; the file type is checked again on the open file.
    int fd;
    do {
        fd = ::open(NativeName(path).constData(), (forWriting ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        ThrowOpenError(path, forWriting, errno);
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        ThrowNotRegular(path);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
#if defined(POSIX_FADV_SEQUENTIAL)
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    FHandle = fd;
}

TFolderFile::~TFolderFile()
{
    if (FHandle >= 0)
        ::close(int(FHandle));
}

qint64 TFolderFile::ReadFull(void *buffer, qint64 count)
{
    auto *out = static_cast<char *>(buffer);
    return Transfer(count, FLastError, [&](qint64 done) { return ::read(int(FHandle), out + done, size_t(count - done)); });
}

qint64 TFolderFile::ReadAt(qint64 offset, void *buffer, qint64 count)
{
    auto *out = static_cast<char *>(buffer);
    return Transfer(count, FLastError, [&](qint64 done) {
        return ::pread(int(FHandle), out + done, size_t(count - done), off_t(offset + done));
    });
}

bool TFolderFile::WriteAt(qint64 offset, const void *data, qint64 count)
{
    const auto *in = static_cast<const char *>(data);
    return Transfer(count, FLastError, [&](qint64 done) {
               return ::pwrite(int(FHandle), in + done, size_t(count - done), off_t(offset + done));
           }) == count;
}

bool TFolderFile::Sync()
{
#if defined(__APPLE__)
    // fsync on macOS leaves the data in the drive's cache.
    if (::fcntl(int(FHandle), F_FULLFSYNC) == 0)
        return true;
#endif
    if (::fsync(int(FHandle)) != 0) {
        FLastError = errno;
        return false;
    }
    return true;
}

TFileIdentity TFolderFile::Identity() const
{
    struct stat st;
    if (::fstat(int(FHandle), &st) != 0)
        return {};
    return IdentityFromStat(st);
}

} // namespace mailmend
