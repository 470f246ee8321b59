#include "dialogs/FolderDeletion.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

bool IsLinkEntry(const QString &path)
{
    return QFileInfo(path).isSymLink();
}

// Deleting an entry depends on its folder's permissions, not on its own; and
// changing a link's permissions would change its target's.
void PrepareFileForDeletion(const QString &) {}

void PrepareFolderForRemoval(const QString &) {}

bool RemoveLinkEntry(const QString &path)
{
    // unlink() removes the link itself, also one that points to a folder.
    return QFile::remove(path);
}

bool IsMountPoint(const QString &folder, const QString &entry)
{
    struct stat folderStat{};
    struct stat entryStat{};
    if (::lstat(QFile::encodeName(folder).constData(), &folderStat) != 0 ||
        ::lstat(QFile::encodeName(entry).constData(), &entryStat) != 0)
        return false;
    return folderStat.st_dev != entryStat.st_dev;
}
