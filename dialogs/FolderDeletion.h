#pragma once

// Complete deletion of a folder with everything in it, counting what was
// removed. Symbolic links (and junctions on Windows) are removed as links:
// the deletion never reaches through a link into data outside the folder.

#include <QString>

namespace dialogs {

struct TDeletionCounts
{
    unsigned Dirs = 0;
    unsigned Files = 0;
    unsigned Errors = 0;
};

// The file-system operations the deletion uses; tests replace single ones.
class TFolderRemover
{
public:
    virtual ~TFolderRemover() = default;
    // Removes a file, or a link of any kind as the link itself.
    virtual bool RemoveFile(const QString &path);
    // Removes an empty folder.
    virtual bool RemoveDir(const QString &path);
};

// Deletes the folder base/subFolder (base itself when subFolder is empty):
// first every subfolder, then every other entry (hidden and system ones
// included, read-only ones too), and finally the folder itself when all of
// its files went and either deleteTop is set or subFolder is non-empty. A
// file that cannot be deleted keeps its folder and every folder above it.
// Missing folders are skipped without counting. A mount point (of another
// file system, or a bind mount of a folder) is not entered: it stays, which
// counts as an error. A trailing separator of base does not lead through a
// link.
void DeleteFolderTree(const QString &base, const QString &subFolder, bool deleteTop,
                      TDeletionCounts &counts, TFolderRemover &remover);
void DeleteFolderTree(const QString &base, const QString &subFolder, bool deleteTop,
                      TDeletionCounts &counts);

// Platform part: whether an entry is a link (symbolic link, junction) that
// must be removed as such, and the preparation of a file for deletion
// (Windows: clearing read-only, hidden and system; nothing elsewhere, where a
// file's own permissions do not guard its deletion).
bool IsLinkEntry(const QString &path);
// Whether the folder entry is a mount point, also a bind mount within the same
// file system (on Windows mounted folders are reparse points and count as links).
bool IsMountPoint(const QString &folder, const QString &entry);
void PrepareFileForDeletion(const QString &path);
void PrepareFolderForRemoval(const QString &path);
bool RemoveLinkEntry(const QString &path);

} // namespace dialogs
