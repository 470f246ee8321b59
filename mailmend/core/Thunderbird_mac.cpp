#include "mailmend/core/Thunderbird.h"

#include <QDir>

namespace mailmend {

QStringList ThunderbirdFolderCandidates()
{
    return {QDir::homePath() + QStringLiteral("/Library/Thunderbird")};
}

QStringList ThunderbirdExecutableNames()
{
    return {QStringLiteral("thunderbird"), QStringLiteral("thunderbird-bin")};
}

} // namespace mailmend
