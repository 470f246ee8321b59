// Folder and name lookups on Windows through the shell and the system calls
// that own them.
#include "foundation/PathUtils.h"

#include <windows.h>
#include <shlobj.h>

#ifdef _MSC_VER
#pragma comment(lib, "shell32.lib")
#pragma comment(lib, "advapi32.lib")
#endif

namespace foundation {

namespace {

QString ExpandVariable(const wchar_t *reference, bool &ok)
{
    wchar_t buffer[1024];
    const DWORD length = ExpandEnvironmentStringsW(reference, buffer, 1024);
    ok = length > 0 && length <= 1024;
    return ok ? QString::fromWCharArray(buffer) : QString();
}

} // namespace

// Roaming application data (%APPDATA%), favourites and the program folders,
// by their shell folder numbers.
QString PathUtilsPlatform::SpecialFolder(int identifier)
{
    wchar_t buffer[MAX_PATH + 1] = {};
    // Virtual folders without a file-system path fail here and give empty.
    if (FAILED(SHGetFolderPathW(nullptr, identifier, nullptr, SHGFP_TYPE_CURRENT, buffer)))
        return {};
    QString folder = QString::fromWCharArray(buffer);
    if (folder.size() > 3 && folder.endsWith(PathDelim))
        folder.chop(1);
    return folder;
}

QString GetWindowsFolder()
{
    wchar_t buffer[261] = {};
    const UINT length = GetWindowsDirectoryW(buffer, 261);
    return length > 0 && length < 261 ? QString::fromWCharArray(buffer, length) : QString();
}

QString CurrentUserName()
{
    wchar_t buffer[1024] = {};
    DWORD size = 1024;
    return GetUserNameW(buffer, &size) ? QString::fromWCharArray(buffer) : QString();
}

QString ComputerName()
{
    wchar_t buffer[1024] = {};
    DWORD size = 1024;
    return GetComputerNameW(buffer, &size) ? QString::fromWCharArray(buffer, size) : QString();
}

// An unset variable is returned unexpanded by the system ("%PUBLIC%"); only a
// failing expansion counts as no answer.
QString GetAllUsersFolder()
{
    bool ok = false;
    const QString value = ExpandVariable(L"%ALLUSERSPROFILE%", ok);
    return ok ? value : GetWindowsFolder();
}

QString GetPublicFolder()
{
    bool ok = false;
    return ExpandVariable(L"%PUBLIC%", ok);
}

} // namespace foundation
