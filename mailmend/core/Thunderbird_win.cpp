#include "mailmend/core/Thunderbird.h"

#include "foundation/PathUtils.h"

#include <QDir>

#include <windows.h>

namespace mailmend {

using namespace foundation;

QStringList ThunderbirdFolderCandidates()
{
    const QString appData = GetAppDataFolder();
    return appData.isEmpty() ? QStringList() : QStringList{JoinPath(appData, QStringLiteral("Thunderbird"))};
}

QStringList ThunderbirdExecutableNames()
{
    return {QStringLiteral("Thunderbird.exe")};
}

bool IsProfileLocked(const QString &profileFolder)
{
    // A running Thunderbird keeps parent.lock open without sharing.
    const std::wstring name = QDir::toNativeSeparators(JoinPath(profileFolder, QStringLiteral("parent.lock"))).toStdWString();
    HANDLE h = CreateFileW(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        return false;
    }
    return GetLastError() == ERROR_SHARING_VIOLATION;
}

} // namespace mailmend
