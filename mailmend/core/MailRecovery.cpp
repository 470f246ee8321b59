#include "mailmend/core/MailRecovery.h"

#include "foundation/LangUtils.h"
#include "foundation/StringUtils.h"

#include <QFileInfo>

#include <limits>

namespace {

int CountArgument(qint64 count)
{
    return int(qBound(qint64(std::numeric_limits<int>::min()), count, qint64(std::numeric_limits<int>::max())));
}

const QString LineBreak = QStringLiteral("\r\n");

} // namespace

QString FolderHeading(const QString &path)
{
    return SafeFormat(Translate("Mailfolder: \"%s\""), QFileInfo(path).fileName());
}

QString FoundCountText(qint64 count)
{
    return PluralText(Translate("No deleted mails found"), Translate("1 deleted mail found"),
                      Translate("%u deleted mails found"), CountArgument(count), true);
}

QString RecoveredCountText(qint64 count)
{
    return PluralText(Translate("No deleted mails found"), Translate("1 deleted mail was recovered"),
                      Translate("%u deleted mails were recovered"), CountArgument(count), true);
}

QString RecoveredMessageLine(const QString &path, qint64 count)
{
    return FolderHeading(path) + QStringLiteral(" - ") + RecoveredCountText(count);
}

QString ThunderbirdStillRunningText()
{
    return Translate("Thunderbird is still running - ") + Translate("recovery aborted!");
}

qint64 RecoverMailFolder(const QString &path, TRecoveryPrompter &prompter)
{
    const QString heading = FolderHeading(path);
    const TMailProgress progress = [&prompter](qint64 done, qint64 total) { return prompter.Progress(done, total); };
    try {
        const TScanResult scan = ScanMailFolder(path, progress);
        if (scan.DeletedCount == 0) {
            const int answer = prompter.Choose(heading + LineBreak + Translate("No deleted mails found"),
                                               {Translate("OK")});
            return answer == 0 ? RecoverySkipped : RecoveryCancelled;
        }
        const int answer = prompter.Choose(heading + LineBreak + FoundCountText(scan.DeletedCount) + LineBreak
                                               + Translate("Start recovery?"),
                                           {Translate("Yes"), Translate("Skip")});
        if (answer == 1)
            return RecoverySkipped;
        if (answer != 0)
            return RecoveryCancelled;
        if (prompter.IsThunderbirdRunning(path)) {
            const int next = prompter.Choose(
                Translate("Please close the running Thunderbird application\r\nand then click \"Continue\" ")
                    + Translate("to start the recovery!"),
                {Translate("Continue")});
            if (next != 0)
                return RecoveryCancelled;
            if (prompter.IsThunderbirdRunning(path))
                return RecoveryThunderbirdRuns;
        }
        return RestoreMailFolder(scan, path, prompter.MarkUnread(), progress);
    } catch (const EMailFolderCancelled &) {
        return RecoveryCancelled;
    }
}
