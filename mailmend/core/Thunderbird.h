#pragma once

#include <QString>
#include <QStringList>

namespace mailmend {

// Where Thunderbird lives on this platform and whether it is running.

// The folders that may hold Thunderbird's profiles.ini, most likely first
// (Linux: ~/.thunderbird, $XDG_CONFIG_HOME/thunderbird, the snap and the two
// flatpak folders; Windows: %APPDATA%\Thunderbird; macOS:
// ~/Library/Thunderbird).
QStringList ThunderbirdFolderCandidates();

// Thunderbird's folder with a trailing separator: overrideFolder when given;
// else the first candidate that holds a profiles.ini, else the first that
// exists, else the first candidate.
QString FindThunderbirdFolder(const QString &overrideFolder = QString());

// The executable names of Thunderbird's processes on this platform.
QStringList ThunderbirdExecutableNames();

// The profile folder that holds path: the nearest folder above it that has a
// profile lock file or a prefs.js. Empty when there is none.
QString ProfileFolderOf(const QString &path);

// True when a running Thunderbird holds the lock of the profile folder
// (Linux/macOS: a live fcntl lock on ".parentlock", or a "lock" link naming a
// live process; Windows: "parent.lock" that cannot be opened).
bool IsProfileLocked(const QString &profileFolder);

// The running test before a folder is written: a Thunderbird process by its
// executable name, or a live lock on the profile that holds the folder file.
bool IsThunderbirdRunningFor(const QString &folderFile);

} // namespace mailmend
