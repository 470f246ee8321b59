#pragma once

#include <QString>
#include <QtGlobal>

namespace foundation {

// What the programs ask of the system about themselves and about other
// programs: version strings of executables, the version and date texts of the
// information message, and whether a program with a given executable name runs.

// The version strings of one file. A string the file does not have stays empty.
struct TFileVersionInfo
{
    QString Company;      // "CompanyName"
    QString Description;  // "FileDescription"
    QString Version;      // "FileVersion"
    QString InternalName; // "InternalName"
    QString Copyright;    // "LegalCopyright"
    QString Comments;     // "Comments"
};

// Platform version tests. True only on Windows (every supported Windows is of
// the NT family); false on every other platform.
bool IsNT4OrLater();
bool IsNT5OrLater();

// Reads the version strings of an executable into info and returns true when
// the file has version information. Where the platform has no version
// resources (Linux, macOS) only the running program has them: they come from
// the build (version as four dotted parts, description, copyright); every other
// file gives false and leaves info as it was.
bool ReadFileVersionInfo(const QString &file, TFileVersionInfo &info);

// The translated word "Version", a blank, and version cut to level dotted parts
// (level 3: 1.1.1.0 -> 1.1.1; a text without a dot stays as it is).
QString VersionText(const QString &version, int level);

// The program version record: empty at start, filled by GetProgramVersion.
const TFileVersionInfo &ProgramVersionInfo();

// Fills the program version record from the running program's executable and
// returns the title (InternalName + " (" + VersionText + ")") and the date of
// the executable's last modification in the user's short date format.
void GetProgramVersion(const QString &name, const QString &fallbackVersion,
                       const QString &fallbackCopyright, int level,
                       QString &title, QString &dateText);

// True when a running process has the executable exeName. With fullPath false
// the executable's name without folder is compared, with fullPath true the
// full path of its image; both without regard to letter case, whole name only.
// Linux: a process matches by the base name of its executable
// (/proc/<pid>/exe, readable for the user's own processes; a " (deleted)" mark
// of a replaced executable is dropped) or by its command name
// (/proc/<pid>/comm). A command name that the kernel cut to 15 bytes does not
// stand for the longer name it begins ("Thunderbird.exe" of a program
// "Thunderbird.exe.bak").
bool IsProgramRunning(const QString &exeName, bool fullPath = false);

// Full path of the executable of a process, empty when it cannot be obtained
// (process gone, or another user's process that may not be inspected).
QString GetProcessImagePath(qint64 pid);

#if defined(Q_OS_LINUX)
// The same two queries on a process tree rooted at procRoot instead of /proc
// (tests use a fake tree).
bool IsProgramRunningIn(const QString &procRoot, const QString &exeName, bool fullPath);
QString GetProcessImagePathIn(const QString &procRoot, qint64 pid);
#endif

} // namespace foundation
