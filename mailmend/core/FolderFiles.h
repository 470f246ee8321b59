#pragma once

#include <QString>

// Which files of a profile's mail directory are mail folders, and which of
// them are offline copies of folders on a mail server.

namespace mailmend {

// The file list shows an item when it is a folder, or when its full path has
// no extension: no dot after the last path separator. Thunderbird's folder
// files have none; its index files (".msf") and every other file with an
// extension are left out, and so is a folder file whose name contains a dot.
bool IsListedFolderItem(const QString &path, bool isFolder);

// True for a folder file below a folder named "ImapMail": Thunderbird's
// offline copy of a folder on a mail server, whose flags the server restores
// at the next synchronisation.
bool IsImapFolderFile(const QString &path);

// The warning shown before such a folder is recovered, and its two answers:
// "Skip" (first, the safe choice) and "Recover anyway".
QString ImapFolderWarningText(const QString &path);

} // namespace mailmend
