// Folder and name lookups on Linux and macOS.
#include "foundation/PathUtils.h"

#include <QDir>
#include <QStandardPaths>
#include <QSysInfo>

#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace foundation {

QString PathUtilsPlatform::SpecialFolder(int identifier)
{
    switch (identifier) {
    case sfAppData: {
#ifdef Q_OS_MACOS
        const auto location = QStandardPaths::GenericDataLocation; // ~/Library/Application Support
#else
        const auto location = QStandardPaths::GenericConfigLocation; // ~/.config
#endif
        const QString folder = QStandardPaths::writableLocation(location);
        return folder.isEmpty() ? QString() : QDir::toNativeSeparators(QDir::cleanPath(folder));
    }
    case sfProgramFiles:
#ifdef Q_OS_MACOS
        return QStringLiteral("/Applications");
#else
        return {};
#endif
    default: // favourites, common files and unknown numbers: nothing corresponds
        return {};
    }
}

QString GetWindowsFolder()
{
    return {};
}

QString CurrentUserName()
{
    const long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd entry{};
    passwd *found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found
        && found->pw_name)
        return QString::fromLocal8Bit(found->pw_name);
    return qEnvironmentVariable("USER");
}

QString ComputerName()
{
    return QSysInfo::machineHostName();
}

// The environment expansions give the variable's value, empty when unset.
QString GetAllUsersFolder()
{
    const QString value = qEnvironmentVariable("ALLUSERSPROFILE");
    return value.isEmpty() ? GetWindowsFolder() : value;
}

QString GetPublicFolder()
{
    return qEnvironmentVariable("PUBLIC");
}

} // namespace foundation
