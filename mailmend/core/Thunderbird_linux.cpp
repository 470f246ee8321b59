#include "mailmend/core/Thunderbird.h"

#include <QDir>

namespace mailmend {

QStringList ThunderbirdFolderCandidates()
{
    const QString home = QDir::homePath();
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = home + QStringLiteral("/.config");
    return {home + QStringLiteral("/.thunderbird"), config + QStringLiteral("/thunderbird"),
            home + QStringLiteral("/snap/thunderbird/common/.thunderbird"),
            home + QStringLiteral("/.var/app/org.mozilla.Thunderbird/.thunderbird"),
            home + QStringLiteral("/.var/app/net.thunderbird.Thunderbird/.thunderbird")};
}

QStringList ThunderbirdExecutableNames()
{
    return {QStringLiteral("thunderbird"), QStringLiteral("thunderbird-bin")};
}

} // namespace mailmend
