#include "mailmend/core/Thunderbird.h"

#include <QDir>

QStringList ThunderbirdFolderCandidates()
{
    return {QDir::homePath() + QStringLiteral("/Library/Thunderbird")};
}

QStringList ThunderbirdExecutableNames()
{
    return {QStringLiteral("thunderbird"), QStringLiteral("thunderbird-bin")};
}
