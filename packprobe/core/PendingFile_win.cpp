// Windows: scratch data in a delete-on-close file; a saved file under a
// hidden name until it is complete (a delete-on-close file cannot be kept).
#include "packprobe/core/PendingFile.h"

#include <QDir>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

namespace packprobe {

int OpenUnnamedFile(const QString &folder, bool forLink)
{
    if (forLink) {
        errno = EOPNOTSUPP;
        return -1;
    }
    for (int attempt = 0; attempt < 20; ++attempt) {
        const QString name = QDir::toNativeSeparators(QDir(folder).filePath(
            QStringLiteral("packprobe-%1.tmp").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'))));
        int fd = -1;
        const errno_t result = _wsopen_s(&fd, reinterpret_cast<const wchar_t *>(name.utf16()),
                                         _O_CREAT | _O_EXCL | _O_RDWR | _O_BINARY | _O_TEMPORARY | _O_NOINHERIT,
                                         _SH_DENYRW, _S_IREAD | _S_IWRITE);
        if (result == 0)
            return fd;
        if (result != EEXIST) {
            errno = result;
            return -1;
        }
    }
    errno = EEXIST;
    return -1;
}

bool LinkUnnamedFile(int, const QString &)
{
    errno = EOPNOTSUPP;
    return false;
}

bool ReplaceFileWith(const QString &from, const QString &to)
{
    if (MoveFileExW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(from).utf16()),
                    reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(to).utf16()),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    errno = EACCES;
    return false;
}

bool ProcessIsAlive(qint64 pid)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(pid));
    if (!process)
        return GetLastError() == ERROR_ACCESS_DENIED;
    DWORD code = 0;
    const bool alive = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    CloseHandle(process);
    return alive;
}

qint64 CurrentProcessId()
{
    return qint64(GetCurrentProcessId());
}

int LastSystemError()
{
    return errno;
}

} // namespace packprobe
