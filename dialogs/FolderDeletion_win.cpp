#include "dialogs/FolderDeletion.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <windows.h>

namespace dialogs {

namespace {

std::wstring NativePath(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

} // namespace

bool IsLinkEntry(const QString &path)
{
    const DWORD attributes = GetFileAttributesW(NativePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Read-only, hidden and system files refuse deletion until their attributes
// are cleared.
void PrepareFileForDeletion(const QString &path)
{
    SetFileAttributesW(NativePath(path).c_str(), FILE_ATTRIBUTE_ARCHIVE);
}

void PrepareFolderForRemoval(const QString &path)
{
    SetFileAttributesW(NativePath(path).c_str(), FILE_ATTRIBUTE_NORMAL);
}

bool RemoveLinkEntry(const QString &path)
{
    // A link to a folder (symbolic link or junction) is removed like an empty
    // folder, which removes the link and leaves its target alone.
    const std::wstring native = NativePath(path);
    // The link's attributes stay untouched: setting them could reach the target.
    const DWORD attributes = GetFileAttributesW(native.c_str());
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return RemoveDirectoryW(native.c_str()) != 0;
    return DeleteFileW(native.c_str()) != 0;
}

bool IsMountPoint(const QString &, const QString &)
{
    return false;
}

} // namespace dialogs
