// Linux side of WinApiUtils: the process list comes from /proc.

#include "foundation/WinApiUtils.h"

#include "foundation/WinApiUtils_p.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <climits>
#include <unistd.h>

namespace foundation {

using namespace WinApiUtilsPlatform;

namespace {

const QString DefaultProcRoot = QStringLiteral("/proc");

// The link text of /proc/<pid>/exe. The kernel appends " (deleted)" when the
// executable was replaced while running (an update); the process still runs
// that program, so the path is given without the mark.
QString ReadExeLink(const QString &procRoot, qint64 pid)
{
    const QByteArray link = QFile::encodeName(procRoot + QLatin1Char('/') + QString::number(pid)
                                              + QStringLiteral("/exe"));
    char buffer[PATH_MAX + 16];
    const ssize_t length = ::readlink(link.constData(), buffer, sizeof(buffer) - 1);
    if (length <= 0)
        return QString();
    QString path = QFile::decodeName(QByteArray(buffer, int(length)));
    const QString deletedMark = QStringLiteral(" (deleted)");
    if (path.endsWith(deletedMark))
        path.chop(deletedMark.size());
    return path;
}

// The command name of a process.
QString ReadCommandName(const QString &procRoot, qint64 pid)
{
    QFile file(procRoot + QLatin1Char('/') + QString::number(pid) + QStringLiteral("/comm"));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QByteArray name = file.read(256);
    if (name.endsWith('\n'))
        name.chop(1);
    return QFile::decodeName(name);
}

// The kernel keeps at most 15 bytes of a command name.
constexpr int CommandNameLimit = 15;

// A command name of full length that begins the executable's longer base name
// is that name cut short: "Thunderbird.exe" of a program "Thunderbird.exe.bak"
// must not count as "Thunderbird.exe".
bool IsCutCommandName(const QString &command, const QString &exeBaseName)
{
    return QFile::encodeName(command).size() >= CommandNameLimit
           && exeBaseName.size() > command.size() && exeBaseName.startsWith(command);
}

bool ProcessMatches(const QString &procRoot, qint64 pid, const QString &exeName, bool fullPath)
{
    const QString image = ReadExeLink(procRoot, pid);
    if (fullPath)
        return NamesExecutable(image, exeName);
    // The executable's base name (readable for the user's own processes), or
    // the command name, which also covers programs run by an interpreter or
    // loader and processes of other users.
    const QString baseName = QFileInfo(image).fileName();
    if (NamesExecutable(baseName, exeName))
        return true;
    const QString command = ReadCommandName(procRoot, pid);
    return NamesExecutable(command, exeName) && !IsCutCommandName(command, baseName);
}

} // namespace

bool IsProgramRunningIn(const QString &procRoot, const QString &exeName, bool fullPath)
{
    if (exeName.isEmpty())
        return false;
    const QStringList entries = QDir(procRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        if (numeric && pid > 0 && ProcessMatches(procRoot, pid, exeName, fullPath))
            return true;
    }
    return false;
}

QString GetProcessImagePathIn(const QString &procRoot, qint64 pid)
{
    return pid > 0 ? ReadExeLink(procRoot, pid) : QString();
}

bool IsProgramRunning(const QString &exeName, bool fullPath)
{
    return IsProgramRunningIn(DefaultProcRoot, exeName, fullPath);
}

QString GetProcessImagePath(qint64 pid)
{
    return GetProcessImagePathIn(DefaultProcRoot, pid);
}

} // namespace foundation
