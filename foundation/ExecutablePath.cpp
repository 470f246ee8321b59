#include "foundation/ExecutablePath.h"

#include "foundation/PathUtils.h"

#include <QDir>
#include <QFileInfo>

namespace foundation {

QString ExecutableFolder()
{
    const QString executable = RunningExecutablePath();
    if (executable.isEmpty())
        return {};
    return AddBackslash(QDir::toNativeSeparators(QFileInfo(executable).absolutePath()));
}

} // namespace foundation
