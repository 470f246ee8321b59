#pragma once

#include "foundation/StringUtils.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <memory>
#include <stdexcept>

namespace foundation {

// File access that reports the operating system's error number, and file
// operations above single reads and writes: copy with time stamp and
// attributes, time stamps, attribute words and letters, date-time conversions,
// link targets, shortcuts and the recycle bin.
//
// Error numbers are the platform's: errno values on POSIX (ENOENT = 2,
// EACCES = 13, ENOSPC = 28 ...), Win32 error codes on Windows.

// ---------------------------------------------------------------------------
// Errors

// The system's text for an error number; for 0 the platform's text for
// success.
QString SystemErrorText(int error);

// A failure to open, create or copy a file: the message (already translated
// and formatted) and the operating system's error number.
class EExtFileStreamError : public std::runtime_error
{
public:
    EExtFileStreamError(const QString &msg, int error);
    // A message composed by the caller in both forms.
    EExtFileStreamError(const QString &msg, const QString &englishMsg, int error);

    // The message is the translated text formatted with args (SafeFormat).
    template <typename... Args>
    static EExtFileStreamError CreateResFmt(const char *text, int error, const Args &...args)
    {
        return Create<EExtFileStreamError>(text, error,
                                           TFormatArgs{StringUtilsDetail::ToFormatArg(args)...});
    }

    QString Message() const { return FMessage; }
    // The message in English (the text formatted untranslated), for output
    // that scripts read; the message itself when it was given ready-made.
    QString EnglishMessage() const { return FEnglishMessage; }

    int ErrorCode = 0;

protected:
    // Translates text (library texts) and formats it with args.
    static QString FormatTranslated(const char *text, const TFormatArgs &args);

    template <typename E>
    static E Create(const char *text, int error, const TFormatArgs &args)
    {
        E result(FormatTranslated(text, args), error);
        result.FEnglishMessage = SafeFormatArgs(QString::fromUtf8(text), args);
        return result;
    }

private:
    QString FMessage;
    QString FEnglishMessage;
};

// The text an error shows the user: the message of a file error (with the
// system's reason), else the exception's own text.
QString ErrorMessageOf(const std::exception &error);

// The error of CopyFileData.
class ECopyError : public EExtFileStreamError
{
public:
    using EExtFileStreamError::EExtFileStreamError;

    template <typename... Args>
    static ECopyError CreateResFmt(const char *text, int error, const Args &...args)
    {
        return Create<ECopyError>(text, error, TFormatArgs{StringUtilsDetail::ToFormatArg(args)...});
    }
};

// ---------------------------------------------------------------------------
// File stream

// Open modes: 16-bit mode word. fmCreate (all of the bits 0xFF00) creates the
// file, replacing an existing one, opened for reading and writing with
// exclusive sharing. Otherwise the low 4 bits select the access and bits 4 to 6
// the sharing.
inline constexpr quint16 fmCreate = 0xFF00;
inline constexpr quint16 fmOpenRead = 0x0000;
inline constexpr quint16 fmOpenWrite = 0x0001;
inline constexpr quint16 fmOpenReadWrite = 0x0002;
inline constexpr quint16 fmShareCompat = 0x0000;
inline constexpr quint16 fmShareExclusive = 0x0010;
inline constexpr quint16 fmShareDenyWrite = 0x0020;
inline constexpr quint16 fmShareDenyRead = 0x0030;
inline constexpr quint16 fmShareDenyNone = 0x0040;

// Seek origins.
inline constexpr int soFromBeginning = 0;
inline constexpr int soFromCurrent = 1;
inline constexpr int soFromEnd = 2;

// A file stream that owns one operating-system file handle and reports
// failures with the system's error number. Sizes and positions are 64-bit.
//
// Sharing on POSIX, which has no mandatory sharing modes: the sharing bits
// become advisory flock() locks that other TExtFileStreams (in this or another
// process) respect. Deny none (0x40) and deny write (0x20) take a shared lock;
// exclusive (0x10), deny read (0x30) and compat (0, exclusive as on Windows)
// take an exclusive one. fmCreate uses the sharing bits of its low byte
// (fmCreate alone: exclusive); the file is emptied only after the lock is
// held. A conflicting lock fails the open with EWOULDBLOCK. Programs that take
// no locks (other tools) are not kept out; file systems without locks allow
// everything.
class TExtFileStream
{
public:
    // Opens (or with fmCreate creates) the file; raises EExtFileStreamError
    // with "Cannot open file \"%s\". %s" or "Cannot create file \"%s\". %s"
    // (full path, system text) and ErrorCode = the system's error number.
    // rights: permission bits for a newly created file (POSIX; 0 means 0666;
    // the umask applies either way); ignored on Windows.
    TExtFileStream(const QString &name, quint16 mode, quint32 rights = 0);
    ~TExtFileStream();

    TExtFileStream(const TExtFileStream &) = delete;
    TExtFileStream &operator=(const TExtFileStream &) = delete;

    // Creates a file that must not exist yet (exclusive creation), opened for
    // reading and writing; raises like fmCreate (EEXIST when it exists).
    static std::unique_ptr<TExtFileStream> CreateNew(const QString &name, quint32 rights = 0);

    // Reads up to count bytes. Result 0 and readCount = bytes read (0 at the
    // end of the file), or the error number and readCount = -1. Never throws.
    // The buffer is filled unless the file ends, so a short count always means
    // the end of the file (also for pipes and files that deliver in pieces).
    qint32 Read(void *buffer, qint32 count, qint32 &readCount);
    // Writes count bytes. Result 0 and writeCount = bytes written (count unless
    // the system accepts no more without reporting an error), or the error
    // number and writeCount = -1. Never throws.
    qint32 Write(const void *buffer, qint32 count, qint32 &writeCount);

    // Plain forms: bytes read or written, -1 on failure.
    qint32 Read(void *buffer, qint32 count);
    qint32 Write(const void *buffer, qint32 count);

    // Moves the position; returns the new position or -1 on failure.
    qint64 Seek(qint64 offset, int origin);
    qint64 Position() const;
    bool SetPosition(qint64 position);
    // Size of the file, -1 when it cannot be determined.
    qint64 Size() const;
    // Truncates or extends the file; 0 or the error number.
    qint32 SetSize(qint64 size);
    // Writes buffered data through to the storage device; 0 or the error number.
    qint32 Flush();
    // Closes the handle (the destructor does it otherwise); 0 or the error
    // number of the close.
    qint32 Close();

    const QString &FileName() const { return FFileName; }
    // The operating-system handle (file descriptor on POSIX, HANDLE on Windows).
    qintptr Handle() const { return FHandle; }

private:
    struct CreateNewTag {};
    TExtFileStream(const QString &name, quint32 rights, CreateNewTag);

    QString FFileName;
    qintptr FHandle = -1;
};

// ---------------------------------------------------------------------------
// Attribute words

// Attribute bits (Windows values). On POSIX GetFileAttributesOf maps:
//   read-only  0x0001  the owner has no write permission
//   hidden     0x0002  the name starts with "." (not "." or "..")
//   system     0x0004  a device, FIFO or socket
//   directory  0x0010  a folder (for a symbolic link: when its target is one)
//   archive    0x0020  a regular file (for a symbolic link: when its target is
//                      not a folder, dangling links included)
//   reparse    0x0400  a symbolic link (the link itself is described, not
//                      followed; its read-only bit is never set)
inline constexpr quint32 faReadOnly = 0x0001;
inline constexpr quint32 faHidden = 0x0002;
inline constexpr quint32 faSysFile = 0x0004;
inline constexpr quint32 faDirectory = 0x0010;
inline constexpr quint32 faArchive = 0x0020;
inline constexpr quint32 faNormal = 0x0080;
inline constexpr quint32 faReparsePoint = 0x0400;
inline constexpr quint32 faInvalid = 0xFFFFFFFF;

// The attribute word of the file itself (links not followed); faInvalid when
// the file cannot be examined.
quint32 GetFileAttributesOf(const QString &name);

// Sets the attribute word of the file itself (a link is not followed); 0 or the
// error number. On POSIX only read-only has an effect: set, it removes every
// write permission; clear, it adds the owner's write permission. The other
// bits are ignored there, and a symbolic link, which has no permissions of its
// own, is left as it is (its target is not touched).
qint32 SetFileAttributesOf(const QString &name, quint32 attributes);

// "r"/"-", "a"/"-", "h"/"-", "s"/"-" and "L" for a reparse point: 0 -> ----,
// 0x0401 -> r---L.
QString AttributeText(quint16 attributes);

// ---------------------------------------------------------------------------
// Times

// 100-nanosecond units since 1601-01-01 00:00 UTC; 0 means "unknown".
using TFileTime = quint64;

// Days since 1899-12-30 00:00, the fraction being the time of day.
using TDateTimeValue = double;

// seconds / 86400 + 25569, no time-zone conversion.
TDateTimeValue UnixToDateTime(quint32 seconds);

// Converts without time-zone conversion. False (and value = the current local
// time) when the file time lies beyond the year 9999.
bool FileTimeToDateTime(TFileTime time, TDateTimeValue &value);

// Converts without time-zone conversion (to milliseconds); 0 for values before
// 1601 or after 9999.
TFileTime DateTimeToFileTime(TDateTimeValue value);

// The current time as a file time (UTC).
TFileTime CurrentFileTime();

// ---------------------------------------------------------------------------
// File data

struct TFileData
{
    quint32 Attributes = 0;
    TFileTime CreationTime = 0; // POSIX: birth time where known, else the status change time
    TFileTime LastAccessTime = 0;
    TFileTime LastWriteTime = 0;
    quint64 Size = 0;
};

// The file data of name; with followLink the data of a link's final target.
// 0 or the platform's error number.
qint32 GetFileData(const QString &name, TFileData &data, bool followLink);

// True when the name exists and is neither a folder nor a link to one (links
// not followed otherwise); data is then its directory entry.
bool FindFileData(const QString &name, TFileData &data);

// The last write time (links followed), 0 when it cannot be read.
TFileTime GetFileTimeStamp(const QString &name);

// Sets only the last write time. With check, a time that cannot be converted or
// lies more than one day after now is replaced by the current time. 0 or the
// error number.
qint32 SetFileTimeStamp(const QString &name, TFileTime time, bool check);

// ---------------------------------------------------------------------------
// Copy

inline constexpr qint32 DefaultCopyBufferSize = 256 * 1024;

// Copies source to destination with the source's last write time and the given
// attributes (negative: the source's, links followed). Raises ECopyError with
// the message and error number of the failure. The destination is written under
// a temporary name in its folder and takes the destination's name only when
// complete, so a failed copy leaves an existing destination unchanged and no
// partial file behind. A bufferSize of 0 or less uses DefaultCopyBufferSize.
// Copying a file onto itself (the same file under another name, a link to it)
// does nothing.
void CopyFileData(const QString &source, const QString &destination, qint32 attributes = -1,
                  qint32 bufferSize = DefaultCopyBufferSize);

// Writes data to the file name under a temporary name in its folder, flushes
// it to the storage device and only then gives it the name, so that the file
// holds at every moment either its complete old or its complete new contents.
// A symbolic link is followed (its target is replaced); the new file keeps
// the permissions (and, where allowed, the owner) of the file it replaces.
// 0 or the error number; on failure the file is unchanged and no temporary
// file is left behind.
qint32 WriteFileAtomically(const QString &name, const QByteArray &data);

// True when both names denote the same existing file however they are spelt:
// the same name, a hard or symbolic link, another spelling of the path (links
// followed; device and inode on POSIX, volume and file index on Windows).
bool IsSameFile(const QString &a, const QString &b);

// ---------------------------------------------------------------------------
// Links, shortcuts, recycle bin

// The final target of a symbolic link (or junction) as an absolute path. False
// when name is no link or its target cannot be reached.
bool GetLinkTarget(const QString &name, QString &target);

// Reads a shell shortcut file. Status 0 when the target was read, 2 when the
// file does not exist, negative when reading failed (on Windows also 1 when the
// shortcut holds no path). Platforms without shortcut files (Linux, macOS)
// report failure (a negative status) for every existing file.
qint32 GetShortcutInfo(const QString &shortcut, QString &target, QString &arguments,
                       QString &workingFolder, QString &description, bool &runAsAdmin);
// The same, true exactly when the target was read (status 0).
bool GetShortcutInfo(const QString &shortcut, QString &target, QString &arguments,
                     QString &workingFolder, QString &description);

// Moves a folder to the platform's trash (recycle bin) without asking. 0 on
// success, otherwise an error number. ownerWindow: native window id of the
// window that owns possible progress windows (Windows), or 0.
qint32 RecycleFolder(quintptr ownerWindow, const QString &folder);

} // namespace foundation
