#include "dialogs/FolderDeletion.h"

#include <QFile>
#include <QFileInfo>

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
