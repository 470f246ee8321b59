#include "mailmend/core/MailFileIo.h"

#include "foundation/PathUtils.h"

#include <QDir>
#include <QFileInfo>

QString ReplacementPrefix(const QString &target)
{
    // The name is shortened so that the temporary name stays within the
    // file systems' name length limit for every folder file name.
    const QFileInfo info(target);
    return JoinPath(info.absolutePath(),
                    QStringLiteral(".") + info.fileName().left(MaxReplacementNamePart)
                        + QStringLiteral(".mailmend-"));
}
