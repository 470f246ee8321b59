// macOS side of WinApiUtils: the process list from libproc.

#include "foundation/WinApiUtils.h"

#include "foundation/WinApiUtils_p.h"

#include <QFile>
#include <QFileInfo>

#include <libproc.h>
#include <sys/proc_info.h>

#include <vector>

namespace foundation {

using namespace WinApiUtilsPlatform;

QString GetProcessImagePath(qint64 pid)
{
    if (pid <= 0)
        return QString();
    char buffer[PROC_PIDPATHINFO_MAXSIZE];
    const int length = proc_pidpath(int(pid), buffer, sizeof(buffer));
    return length > 0 ? QFile::decodeName(QByteArray(buffer, length)) : QString();
}

bool IsProgramRunning(const QString &exeName, bool fullPath)
{
    if (exeName.isEmpty())
        return false;
    const int bytes = proc_listpids(PROC_ALL_PIDS, 0, nullptr, 0);
    if (bytes <= 0)
        return false;
    std::vector<pid_t> pids(size_t(bytes) / sizeof(pid_t) + 32);
    const int filled = proc_listpids(PROC_ALL_PIDS, 0, pids.data(), int(pids.size() * sizeof(pid_t)));
    if (filled <= 0)
        return false;
    pids.resize(size_t(filled) / sizeof(pid_t));
    for (const pid_t pid : pids) {
        if (pid <= 0)
            continue;
        const QString image = GetProcessImagePath(qint64(pid));
        if (fullPath) {
            if (NamesExecutable(image, exeName))
                return true;
            continue;
        }
        if (NamesExecutable(QFileInfo(image).fileName(), exeName))
            return true;
        if (image.isEmpty()) { // another user's process: its name only
            char name[2 * MAXCOMLEN + 1] = {};
            if (proc_name(pid, name, sizeof(name)) > 0
                && NamesExecutable(QFile::decodeName(name), exeName))
                return true;
        }
    }
    return false;
}

} // namespace foundation
