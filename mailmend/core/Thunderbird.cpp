#include "mailmend/core/Thunderbird.h"

#include "foundation/PathUtils.h"
#include "foundation/WinApiUtils.h"

#include <QDir>
#include <QFileInfo>

namespace mailmend {

using namespace foundation;

QString FindThunderbirdFolder(const QString &overrideFolder)
{
    if (!overrideFolder.isEmpty())
        return AddBackslash(QDir::cleanPath(QFileInfo(overrideFolder).absoluteFilePath()));
    const QStringList candidates = ThunderbirdFolderCandidates();
    for (const QString &folder : candidates) {
        if (QFileInfo(JoinPath(folder, QStringLiteral("profiles.ini"))).isFile())
            return AddBackslash(folder);
    }
    for (const QString &folder : candidates) {
        if (QFileInfo(folder).isDir())
            return AddBackslash(folder);
    }
    return candidates.isEmpty() ? QString() : AddBackslash(candidates.first());
}

QString ProfileFolderOf(const QString &path)
{
    QDir folder = QFileInfo(path).absoluteDir();
    for (int depth = 0; depth < 64; ++depth) {
        for (const char *marker : {".parentlock", "parent.lock", "lock", "prefs.js"}) {
            if (QFileInfo(folder.filePath(QLatin1String(marker))).exists()
                || QFileInfo(folder.filePath(QLatin1String(marker))).isSymLink())
                return folder.absolutePath();
        }
        if (!folder.cdUp())
            break;
    }
    return {};
}

bool IsThunderbirdRunningFor(const QString &folderFile)
{
    for (const QString &name : ThunderbirdExecutableNames()) {
        if (IsProgramRunning(name, false))
            return true;
    }
    // The profile that holds the file itself, not the folder of a link to it.
    const QString real = QFileInfo(folderFile).canonicalFilePath();
    const QString profile = ProfileFolderOf(real.isEmpty() ? folderFile : real);
    return !profile.isEmpty() && IsProfileLocked(profile);
}

} // namespace mailmend
