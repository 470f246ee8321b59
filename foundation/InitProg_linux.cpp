#include "foundation/InitProg.h"

#include <QFileInfo>

QString RunningExecutablePath()
{
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}
