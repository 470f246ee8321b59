#include "dialogs/FolderDeletion.h"

#include <QFile>
#include <QFileInfo>

#include <QStorageInfo>

#include <fcntl.h>
#include <sys/stat.h>

namespace dialogs {

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

namespace {

// The root of a mount: a mount of another file system has its own device
// number, but a bind mount of a folder of the same file system does not.
bool IsMountRoot(const QString &entry)
{
#if defined(__linux__) && defined(STATX_ATTR_MOUNT_ROOT)
    struct statx entryStatx{};
    if (::statx(AT_FDCWD, QFile::encodeName(entry).constData(), AT_SYMLINK_NOFOLLOW, 0,
                &entryStatx) == 0 &&
        (entryStatx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT))
        return (entryStatx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
#endif
    // Older kernels and other systems: the mount table.
    const QString canonical = QFileInfo(entry).canonicalFilePath();
    return !canonical.isEmpty() && QStorageInfo(canonical).rootPath() == canonical;
}

} // namespace

bool IsMountPoint(const QString &folder, const QString &entry)
{
    struct stat folderStat{};
    struct stat entryStat{};
    if (::lstat(QFile::encodeName(folder).constData(), &folderStat) != 0 ||
        ::lstat(QFile::encodeName(entry).constData(), &entryStat) != 0)
        return false;
    return folderStat.st_dev != entryStat.st_dev || IsMountRoot(entry);
}

} // namespace dialogs
