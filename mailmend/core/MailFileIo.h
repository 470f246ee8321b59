#pragma once

#include "foundation/FileUtils.h"

#include <QString>
#include <QtGlobal>

#include <memory>

// The file-system operations under the mail folder rewrite: reading a folder
// file while others may only read it, knowing whether it changed, and
// replacing it through a temporary file in the same folder so that the folder
// file is at every moment either the complete old or the complete new file.
//
// Errors are reported with the platform's error numbers (errno on POSIX,
// Win32 error codes on Windows).

// What identifies one state of a file: a rewrite by another program changes
// the size, the modification time or (when the file is replaced) the file id.
struct TFileIdentity
{
    qint64 Size = -1;       // -1: the file could not be examined
    qint64 ModifiedNs = 0;  // modification time in nanoseconds since 1970
    quint64 Device = 0;
    quint64 FileId = 0;     // inode number / file index

    bool IsValid() const { return Size >= 0; }
    bool operator==(const TFileIdentity &other) const = default;
};

// The identity of the file a path names (links followed); Size = -1 when it
// cannot be examined.
TFileIdentity FileIdentityOf(const QString &path);

// Free bytes available to this user on the volume that holds folder; -1 when
// the platform does not tell.
qint64 FreeDiskSpace(const QString &folder);

// A folder file opened for sequential reading. Other programs may go on
// reading it; on Windows they may not write it while it is open.
class TFolderReadFile
{
public:
    // Raises EExtFileStreamError "Cannot open file \"%s\". %s".
    explicit TFolderReadFile(const QString &path);
    ~TFolderReadFile();

    TFolderReadFile(const TFolderReadFile &) = delete;
    TFolderReadFile &operator=(const TFolderReadFile &) = delete;

    // Reads until count bytes are read or the file ends; returns the number of
    // bytes read, or -1 with LastError() set.
    qint64 ReadFull(void *buffer, qint64 count);
    // The identity of the open file (not of the path, which may name another
    // file by now).
    TFileIdentity Identity() const;
    // Closes the file early: on Windows an open folder file cannot be
    // replaced.
    void Close();
    int LastError() const { return FLastError; }
    const QString &FileName() const { return FFileName; }

private:
    QString FFileName;
    qintptr FHandle = -1;
    int FLastError = 0;
};

// A new file that will replace target: created beside it under the name
// ReplacementPrefix(target) + random + ReplacementSuffix, with the target's
// permission bits (and owner, where the process may set it). While it exists
// the writer holds a lock on it, so that RemoveStaleReplacements can tell a
// live replacement from one left behind by a killed process.
// Destroying an uncommitted replacement removes the temporary file.
class TReplacementFile
{
public:
    // Raises EExtFileStreamError "Cannot create file \"%s\". %s" with the
    // target's path, also when the target is write-protected.
    explicit TReplacementFile(const QString &target);
    ~TReplacementFile();

    TReplacementFile(const TReplacementFile &) = delete;
    TReplacementFile &operator=(const TReplacementFile &) = delete;

    // Writes all count bytes; false with LastError() set on failure.
    bool Write(const void *data, qint64 count);
    // Flushes the data to the storage device, closes the file, renames it
    // over the target and syncs the folder. False with LastError() set when
    // the data could not be made durable or the rename failed; the target is
    // then unchanged and the temporary file is removed.
    bool Commit();
    // Removes the temporary file (also done by the destructor).
    void Discard();

    const QString &TempName() const { return FTempName; }
    const QString &Target() const { return FTarget; }
    int LastError() const { return FLastError; }

private:
    void CloseHandle();

    QString FTarget;
    QString FTempName;
    qintptr FHandle = -1;
    int FLastError = 0;
    bool FCommitted = false;
};

// Name parts of the temporary files: "." + folder file name (at most
// MaxReplacementNamePart characters of it) + ".mailmend-",
// a random part, ".tmp". The leading dot hides them from listings.
QString ReplacementPrefix(const QString &target);
inline constexpr char ReplacementSuffix[] = ".tmp";
inline constexpr int MaxReplacementNamePart = 64;

// Deletes the temporary files of target that a killed or crashed rewrite left
// behind: those that no live writer holds locked. Returns how many were
// removed.
int RemoveStaleReplacements(const QString &target);
