#pragma once

#include <QChar>
#include <QString>

namespace foundation {

// Folder separator of the platform: the only one the file-name helpers know.
// A separator of the other form is an ordinary character.
#ifdef _WIN32
inline constexpr QChar PathDelim = u'\\';
#else
inline constexpr QChar PathDelim = u'/';
#endif

// The rules of the file-name helpers, written once for both path forms so
// that each form can be tested on every platform. `windows` switches on the
// Windows-only rules: drive letters ("C:"), the ":" that marks a name as
// absolute, and the roots of UNC ("\\server\share") and "\\?\" paths.
struct TPathStyle
{
    QChar delim;
    bool windows;
};

inline constexpr TPathStyle PosixPathStyle{u'/', false};
inline constexpr TPathStyle WindowsPathStyle{u'\\', true};
#ifdef _WIN32
inline constexpr TPathStyle NativePathStyle = WindowsPathStyle;
#else
inline constexpr TPathStyle NativePathStyle = PosixPathStyle;
#endif

// SetExtension modes.
inline constexpr int seAddUnlessPresent = 0;
inline constexpr int seReplace = 1;
inline constexpr int seAdd = 2;

namespace PathRules {
QString AddBackslash(const QString &folder, const TPathStyle &style);
QString GetExtension(const QString &name, const TPathStyle &style);
QString RemoveExtension(const QString &name, const TPathStyle &style);
QString ReplaceExtension(const QString &name, const QString &extension, const TPathStyle &style);
QString SetExtension(const QString &name, const QString &extension, int mode,
                     const TPathStyle &style);
QString JoinPath(const QString &folder, const QString &name, const TPathStyle &style);
QString ParentFolder(const QString &path, const TPathStyle &style);
QString MakeFileName(const QString &folder, const QString &name, const QString &extension,
                     const TPathStyle &style);
// Length of the part of the path that ParentFolder never removes: "/" on
// POSIX; "\", "C:", "\\server\share", "\\?\C:", "\\?\UNC\server\share" on
// Windows. 0 for a relative path.
int RootLength(const QString &path, const TPathStyle &style);
} // namespace PathRules

namespace PathUtilsPlatform {
// The folders of GetSpecialFolder that QStandardPaths does not know (roaming
// application data, favourites, program folders); one file per platform.
QString SpecialFolder(int identifier);
} // namespace PathUtilsPlatform

// File names (text only, the file system is never touched).
QString AddBackslash(const QString &folder);
QString GetExtension(const QString &name);
QString RemoveExtension(const QString &name);
QString ReplaceExtension(const QString &name, const QString &extension);
QString SetExtension(const QString &name, const QString &extension, int mode);
QString JoinPath(const QString &folder, const QString &name);
QString ParentFolder(const QString &path);
bool IsRealEntryName(const QString &name);
QString MakeFileName(const QString &folder, const QString &name, const QString &extension);

// Folder identifiers of GetSpecialFolder (the platform shell's numbers).
inline constexpr int sfDesktop = 0;
inline constexpr int sfDocuments = 5;
inline constexpr int sfFavorites = 6;
inline constexpr int sfAppData = 26;
inline constexpr int sfLocalAppData = 28;
inline constexpr int sfProgramFiles = 38;
inline constexpr int sfProfile = 40;
inline constexpr int sfProgramFilesCommon = 43;

// Kinds of GetProgramFilesFolder.
inline constexpr int pfPrograms = 0;
inline constexpr int pfCommonFiles = 1;
inline constexpr int pfPrograms32 = 2;
inline constexpr int pfCommonFiles32 = 3;
inline constexpr int pfPrograms64 = 4;
inline constexpr int pfCommonFiles64 = 5;

// Platform folders and names; empty when the platform gives nothing. Folders
// carry no trailing separator unless stated. Desktop, documents, local
// application data and the profile come from QStandardPaths on every
// platform; the roaming application data is ~/.config on Linux,
// ~/Library/Application Support on macOS and %APPDATA% on Windows.
QString GetSpecialFolder(int identifier);
QString GetAppDataFolder();
QString GetDocumentsFolder();
QString GetProgramFilesFolder(int kind);
QString GetWindowsFolder();
QString GetTempFolder(); // with a trailing separator
QString CurrentUserName();
QString ComputerName();
QString GetAllUsersFolder();
QString GetPublicFolder();

} // namespace foundation
