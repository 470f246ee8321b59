// POSIX side of ExtFileTools: no length limit on names, Windows-1252 as the
// legacy code page.
#include "packprobe/core/ExtFileTools.h"

#include "foundation/TextEncoding.h"

#include <cerrno>

namespace packprobe {

using namespace foundation;

QString LongPathName(const QString &name)
{
    return name;
}

QString LegacyCodePageToUnicode(const QByteArray &bytes)
{
    return Cp1252ToUnicode(bytes);
}

QByteArray UnicodeToLegacyCodePage(const QString &text)
{
    return UnicodeToCp1252(text);
}

bool IsDiskFullError(int errorNumber)
{
    return errorNumber == ENOSPC || errorNumber == EDQUOT;
}

} // namespace packprobe
