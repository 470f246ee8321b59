#include "dialogs/FolderDeletion.h"

#include "foundation/PathUtils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace dialogs {

using namespace foundation;

bool TFolderRemover::RemoveFile(const QString &path)
{
    if (IsLinkEntry(path))
        return RemoveLinkEntry(path);
    PrepareFileForDeletion(path);
    return QFile::remove(path);
}

bool TFolderRemover::RemoveDir(const QString &path)
{
    PrepareFolderForRemoval(path);
    return QDir().rmdir(path);
}

namespace {

// Entries of any kind, hidden and system ones (broken links, sockets, …)
// included, without "." and "..".
QFileInfoList FolderEntries(const QString &folder)
{
    return QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                          QDir::NoDotAndDotDot,
                                      QDir::NoSort);
}

bool IsRealFolder(const QFileInfo &entry)
{
    return entry.isDir() && !IsLinkEntry(entry.filePath());
}

// "folder/" stands for what a link named folder points to, so the deletion
// works on the name without trailing separators (a root keeps its own).
QString WithoutTrailingSeparators(QString path)
{
    const int root = PathRules::RootLength(path, NativePathStyle);
    while (path.size() > root + 1 && (path.back() == u'/' || path.back() == PathDelim))
        path.chop(1);
    return path;
}

QString SubFolderPath(const QString &subFolder, const QString &name)
{
    return subFolder.isEmpty() ? name : AddBackslash(subFolder) + name;
}

} // namespace

void DeleteFolderTree(const QString &base, const QString &subFolder, bool deleteTop,
                      TDeletionCounts &counts, TFolderRemover &remover)
{
    const QString top = WithoutTrailingSeparators(base);
    const QString folder = subFolder.isEmpty() ? top : AddBackslash(top) + subFolder;
    const QFileInfo folderInfo(folder);
    if (IsLinkEntry(folder)) {
        // The chosen folder itself is a link: remove the link, keep its target.
        if (deleteTop || !subFolder.isEmpty()) {
            if (remover.RemoveFile(folder))
                ++counts.Files;
            else
                ++counts.Errors;
        }
        return;
    }
    if (!folderInfo.isDir())
        return;

    const QFileInfoList entries = FolderEntries(folder);
    for (const QFileInfo &entry : entries)
        if (IsRealEntryName(entry.fileName()) && IsRealFolder(entry) &&
            !IsMountPoint(folder, entry.filePath()))
            DeleteFolderTree(base, SubFolderPath(subFolder, entry.fileName()), deleteTop, counts,
                             remover);

    unsigned seen = 0;
    unsigned deleted = 0;
    for (const QFileInfo &entry : entries) {
        if (IsRealFolder(entry)) {
            // A mount point inside stays mounted, and so does its folder.
            if (IsMountPoint(folder, entry.filePath()))
                ++counts.Errors;
            continue;
        }
        ++seen;
        if (remover.RemoveFile(entry.filePath())) {
            ++counts.Files;
            ++deleted;
        } else {
            ++counts.Errors;
        }
    }

    if (deleted == seen && (deleteTop || !subFolder.isEmpty())) {
        if (remover.RemoveDir(folder))
            ++counts.Dirs;
        else
            ++counts.Errors;
    }
}

void DeleteFolderTree(const QString &base, const QString &subFolder, bool deleteTop,
                      TDeletionCounts &counts)
{
    TFolderRemover remover;
    DeleteFolderTree(base, subFolder, deleteTop, counts, remover);
}

} // namespace dialogs
