#pragma once

#include "foundation/FileUtils.h" // SystemErrorText

#include <QString>
#include <QtGlobal>

// The file-system operations under the mail folder scan and recovery:
// opening only regular files, reading them as a stream while others may
// read them too, knowing whether a file changed, and changing single bytes
// of it in place.
//
// Errors are reported with the platform's error numbers (errno on POSIX,
// Win32 error codes on Windows).

namespace mailmend {

// What identifies one state of a file: a write by another program changes
// the size or the modification time; a replaced file has another file id.
struct TFileIdentity
{
    qint64 Size = -1;       // -1: the file could not be examined
    qint64 ModifiedNs = 0;  // modification time in nanoseconds since 1970
    quint64 Device = 0;
    quint64 FileId = 0;     // inode number / file index

    bool IsValid() const { return Size >= 0; }
    bool operator==(const TFileIdentity &other) const = default;
};

// What a path names (links followed).
enum class TPathKind {
    Missing,     // nothing, or it cannot be examined (error number in errorOut)
    RegularFile,
    Other,       // folder, FIFO, device, socket
};
TPathKind PathKindOf(const QString &path, int *errorOut = nullptr);

// The identity of the file a path names (links followed); Size = -1 when it
// cannot be examined.
TFileIdentity FileIdentityOf(const QString &path);

// A mail folder file, opened for sequential reading and, when asked, for
// writing single bytes at given offsets. Only regular files are opened: the
// path is examined first, and a FIFO or device is never opened (so opening
// cannot block). Other programs may go on reading the file.
class TFolderFile
{
public:
    enum class TAccess { Read, ReadWrite };

    // Raises EExtFileStreamError "Cannot open file \"%s\". %s" (with
    // ReadWrite when the file cannot be opened for writing), and
    // EMailFolderError when the path names no regular file.
    TFolderFile(const QString &path, TAccess access);
    ~TFolderFile();

    TFolderFile(const TFolderFile &) = delete;
    TFolderFile &operator=(const TFolderFile &) = delete;

    // Reads sequentially until count bytes are read or the file ends; returns
    // the number of bytes read, or -1 with LastError() set.
    qint64 ReadFull(void *buffer, qint64 count);
    // Reads at offset without moving the sequential position; same results.
    qint64 ReadAt(qint64 offset, void *buffer, qint64 count);
    // Writes all count bytes at offset; false with LastError() set.
    bool WriteAt(qint64 offset, const void *data, qint64 count);
    // Makes written data durable on the storage device; false with
    // LastError() set.
    bool Sync();
    // The identity of the open file (not of the path, which may name another
    // file by now).
    TFileIdentity Identity() const;

    int LastError() const { return FLastError; }
    const QString &FileName() const { return FFileName; }

private:
    QString FFileName;
    qintptr FHandle = -1;
    int FLastError = 0;
};

// The errors of TFolderFile, shared by the platform files.
namespace MailFileIoDetail {
// EExtFileStreamError "Cannot open file \"%s\". %s", or with forWriting
// "Cannot open file \"%s\" for writing. %s".
[[noreturn]] void ThrowOpenError(const QString &path, bool forWriting, int error);
// EMailFolderError: the path names no regular file.
[[noreturn]] void ThrowNotRegular(const QString &path);
// A missing path and anything but a regular file are refused before they
// are opened: a FIFO would block the open and the reads, a device could be
// anything.
void RefuseUnlessRegularFile(const QString &path);
} // namespace MailFileIoDetail

} // namespace mailmend
