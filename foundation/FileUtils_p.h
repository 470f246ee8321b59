#pragma once

// Platform layer of FileUtils, shared by FileUtils.cpp and the per-platform
// files. Not for use outside the unit.

#include "foundation/FileUtils.h"

#include <QString>

namespace foundation {

namespace FileUtilsPlatform {

// Error numbers the portable code produces itself.
extern const int FileNotFoundError; // ENOENT / ERROR_FILE_NOT_FOUND (both 2)
extern const int DiskFullError;     // ENOSPC / ERROR_DISK_FULL
extern const int FileExistsError;   // EEXIST / ERROR_FILE_EXISTS
extern const int FolderInTheWayError; // EISDIR / ERROR_ACCESS_DENIED: a file name taken by a folder

// Full path of name with native separators, for messages.
QString FullPathForMessage(const QString &name);

// Raises EExtFileStreamError "Cannot open file ..." or "Cannot create file ...".
[[noreturn]] void RaiseStreamError(const QString &name, bool create, int error);

// The file a copy to destination really writes: the final target when the
// destination is a symbolic link, otherwise destination itself.
QString CopyTargetOf(const QString &destination);

// True when target exists and is neither a regular file nor a folder (a device
// or FIFO): such a destination is written in place, not replaced.
bool IsSpecialFile(const QString &target);

// Makes an existing target replaceable by RenameOver; 0 or the error number.
qint32 PrepareReplace(const QString &target);

// Gives a new file the permissions and owner of the file it will replace
// (best effort; nothing where the platform has no such notion).
void InheritFileSecurity(const QString &target, TExtFileStream &stream);

// Sets only the last write time; 0 or the error number.
qint32 SetLastWriteTime(const QString &name, TFileTime time);

// Atomically gives source the name target, replacing target; 0 or the error number.
// (Not "ReplaceFile": <windows.h> defines that name as a macro.)
qint32 RenameOver(const QString &source, const QString &target);

// Writes the folder's entry changes through to the storage device (best effort).
void SyncFolderOf(const QString &name);

// Removes a file, ignoring failures.
void RemoveFileQuietly(const QString &name);

} // namespace FileUtilsPlatform

} // namespace foundation
