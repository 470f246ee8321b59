#include "mailmend/core/RecoveryRun.h"

#include "foundation/LangUtils.h"
#include "mailmend/core/FolderFiles.h"

namespace mailmend {

using namespace foundation;

TRecoveryResult RecoverFolderFile(const QString &path, TRecoveryPrompter &prompter, const TMailSelection &selection)
{
    if (IsImapFolderFile(path)) {
        const int answer = prompter.ChooseWithFocus(ImapFolderWarningText(path),
                                                    {Translate("Skip"), Translate("Recover anyway")}, 0);
        if (answer == 0)
            return {TRecoveryOutcome::Skipped, 0};
        if (answer != 1)
            return {TRecoveryOutcome::Cancelled, 0};
    }
    return RecoverMailFolder(path, prompter, selection);
}

TRunEnd RecoverFolderFiles(const QStringList &paths, TRecoveryPrompter &prompter,
                           const std::function<void(const QString &line)> &addLine,
                           const std::function<void(const QString &path)> &beginFolder)
{
    for (const QString &path : paths) {
        if (beginFolder)
            beginFolder(path);
        const TRecoveryResult result = RecoverFolderFile(path, prompter);
        if (result.Outcome == TRecoveryOutcome::Recovered)
            addLine(RecoveredMessageLine(path, result.Count, result.Found));
        else if (result.Outcome == TRecoveryOutcome::Cancelled)
            return TRunEnd::Cancelled;
        else if (result.Outcome == TRecoveryOutcome::ThunderbirdRuns)
            return TRunEnd::ThunderbirdRuns;
    }
    return TRunEnd::Completed;
}

} // namespace mailmend
