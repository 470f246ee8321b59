#include "mailmend/core/FolderFiles.h"

#include "foundation/LangUtils.h"
#include "foundation/PathUtils.h"
#include "mailmend/core/MailRecovery.h"

namespace mailmend {

using namespace foundation;

namespace {

constexpr Qt::CaseSensitivity FolderNameCase =
#if defined(_WIN32) || defined(__APPLE__)
    Qt::CaseInsensitive;
#else
    Qt::CaseSensitive;
#endif

} // namespace

bool IsListedFolderItem(const QString &path, bool isFolder)
{
    if (isFolder)
        return true;
    return path.mid(path.lastIndexOf(PathDelim) + 1).indexOf(u'.') < 0;
}

bool IsImapFolderFile(const QString &path)
{
    const QStringList parts = path.split(PathDelim, Qt::SkipEmptyParts);
    // The last part is the folder file itself.
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        if (parts[i].compare(QStringLiteral("ImapMail"), FolderNameCase) == 0)
            return true;
    }
    return false;
}

QString ImapFolderWarningText(const QString &path)
{
    return FolderHeading(path) + QStringLiteral("\r\n")
           + Translate("This folder is Thunderbird's offline copy of a folder on a mail server (IMAP).\r\n"
                       "At the next synchronisation the server's state wins, and mails recovered\r\n"
                       "here disappear again. Recover them on the server instead.");
}

} // namespace mailmend
