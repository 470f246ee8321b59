// Folder and name lookups on Linux and macOS. The shell folder numbers of
// GetSpecialFolder are mapped to the nearest standard location; numbers with
// no counterpart give an empty text.
#include "foundation/PathUtils.h"

#include <QDir>
#include <QStandardPaths>
#include <QSysInfo>

#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace {

QString StandardFolder(QStandardPaths::StandardLocation location)
{
    const QString folder = QStandardPaths::writableLocation(location);
    if (folder.isEmpty())
        return {};
    QString native = QDir::toNativeSeparators(QDir::cleanPath(folder));
    if (native.size() > 1 && native.endsWith(PathDelim))
        native.chop(1);
    return native;
}

} // namespace

QString GetSpecialFolder(int identifier)
{
    switch (identifier) {
    case sfDesktop:
        return StandardFolder(QStandardPaths::DesktopLocation);
    case sfDocuments:
        return StandardFolder(QStandardPaths::DocumentsLocation);
    case sfAppData:
#ifdef Q_OS_MACOS
        return StandardFolder(QStandardPaths::GenericDataLocation); // ~/Library/Application Support
#else
        return StandardFolder(QStandardPaths::GenericConfigLocation); // ~/.config
#endif
    case sfLocalAppData:
        return StandardFolder(QStandardPaths::GenericDataLocation);
    case sfProfile:
        return StandardFolder(QStandardPaths::HomeLocation);
    case sfProgramFiles:
#ifdef Q_OS_MACOS
        return QStringLiteral("/Applications");
#else
        return {};
#endif
    default: // favourites, common files: nothing corresponds
        return {};
    }
}

QString GetWindowsFolder()
{
    return {};
}

QString CurrentUserName()
{
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
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
