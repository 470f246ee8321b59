#include "mailmend/core/RecoveryRun.h"

#include "foundation/LangUtils.h"
#include "mailmend/core/FolderFiles.h"

namespace mailmend {

qint64 RecoverFolderFile(const QString &path, TRecoveryPrompter &prompter)
{
    if (IsImapFolderFile(path)) {
        const int answer = prompter.ChooseWithFocus(ImapFolderWarningText(path),
                                                    {Translate("Skip"), Translate("Recover anyway")}, 0);
        if (answer == 0)
            return RecoverySkipped;
        if (answer != 1)
            return RecoveryCancelled;
    }
    return RecoverMailFolder(path, prompter);
}

TRunEnd RecoverFolderFiles(const QStringList &paths, TRecoveryPrompter &prompter,
                           const std::function<void(const QString &line)> &addLine,
                           const std::function<void(const QString &path)> &beginFolder)
{
    for (const QString &path : paths) {
        if (beginFolder)
            beginFolder(path);
        const qint64 result = RecoverFolderFile(path, prompter);
        if (result >= 1)
            addLine(RecoveredMessageLine(path, result));
        else if (result == RecoveryCancelled)
            return TRunEnd::Cancelled;
        else if (result == RecoveryThunderbirdRuns)
            return TRunEnd::ThunderbirdRuns;
    }
    return TRunEnd::Completed;
}

} // namespace mailmend
