#include "packprobe/core/PendingFile.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace packprobe {

bool ReplaceFileWith(const QString &from, const QString &to)
{
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

bool ProcessIsAlive(qint64 pid)
{
    if (pid <= 0)
        return false;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

qint64 CurrentProcessId()
{
    return qint64(::getpid());
}

int LastSystemError()
{
    return errno;
}

} // namespace packprobe
