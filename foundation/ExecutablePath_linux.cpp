#include "foundation/ExecutablePath.h"

#include <QFileInfo>

namespace foundation {

QString RunningExecutablePath()
{
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

} // namespace foundation
