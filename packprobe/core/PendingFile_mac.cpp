// macOS has no unnamed files: the named fallback is used.
#include "packprobe/core/PendingFile.h"

#include <cerrno>

namespace packprobe {

int OpenUnnamedFile(const QString &, bool)
{
    errno = EOPNOTSUPP;
    return -1;
}

bool LinkUnnamedFile(int, const QString &)
{
    errno = EOPNOTSUPP;
    return false;
}

} // namespace packprobe
