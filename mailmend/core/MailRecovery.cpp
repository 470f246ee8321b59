#include "mailmend/core/MailRecovery.h"

#include "foundation/LangUtils.h"
#include "foundation/StringUtils.h"

#include <QFileInfo>

#include <limits>

namespace mailmend {

using namespace foundation;

namespace {

int CountArgument(qint64 count)
{
    return int(qBound(qint64(std::numeric_limits<int>::min()), count, qint64(std::numeric_limits<int>::max())));
}

const QString LineBreak = QStringLiteral("\r\n");

QString ConfirmationText(const TScanResult &scan, const TMailSelection &selection)
{
    QString text = FolderHeading(scan.FileName) + LineBreak + FoundCountText(scan.DeletedCount()) + LineBreak;
    if (!selection.IsAll())
        text += SelectedCountText(selection.CountIn(scan.DeletedCount())) + LineBreak;
    return text + Translate("Start recovery?");
}

TRecoveryResult Outcome(TRecoveryOutcome outcome, qint64 count = 0)
{
    return TRecoveryResult{outcome, count};
}

// The questions and the recovery after the scan.
TRecoveryResult ConfirmAndRestore(const TScanResult &scan, TRecoveryPrompter &prompter,
                                  const TMailSelection &selection)
{
    const QString &path = scan.FileName;
    if (scan.DeletedCount() == 0) {
        const int answer = prompter.Choose(FolderHeading(path) + LineBreak + Translate("No deleted mails found"),
                                           {Translate("OK")});
        return Outcome(answer == 0 ? TRecoveryOutcome::NothingFound : TRecoveryOutcome::Cancelled);
    }
    if (selection.CountIn(scan.DeletedCount()) == 0)
        return Outcome(TRecoveryOutcome::Skipped);
    QStringList buttons{Translate("Yes"), Translate("Skip")};
    if (prompter.CanChooseMails())
        buttons.append(Translate("Choose…"));
    TMailSelection chosen = selection;
    for (;;) {
        const int answer = prompter.Choose(ConfirmationText(scan, chosen), buttons);
        // OK in the list recovers the checked mails; going back asks again.
        if (answer == 2 && prompter.CanChooseMails()) {
            if (prompter.ChooseMails(scan, chosen))
                break;
            continue;
        }
        if (answer == 1)
            return Outcome(TRecoveryOutcome::Skipped);
        if (answer != 0)
            return Outcome(TRecoveryOutcome::Cancelled);
        break;
    }
    if (prompter.IsThunderbirdRunning(path)) {
        if (prompter.Choose(prompter.CloseThunderbirdMessage(), {Translate("Continue")}) != 0)
            return Outcome(TRecoveryOutcome::Cancelled);
        if (prompter.IsThunderbirdRunning(path))
            return Outcome(TRecoveryOutcome::ThunderbirdRuns);
    }
    const qint64 count = RestoreMailFolder(scan, path, prompter.MarkUnread(), chosen, prompter.Monitor());
    return TRecoveryResult{TRecoveryOutcome::Recovered, count, scan.DeletedCount()};
}

} // namespace

QString TRecoveryPrompter::CloseThunderbirdMessage() const
{
    return Translate("Please close the running Thunderbird application\r\nand then click \"Continue\" ")
           + Translate("to start the recovery!");
}

qint64 TRecoveryResult::Code() const
{
    switch (Outcome) {
    case TRecoveryOutcome::Recovered:
        return Count;
    case TRecoveryOutcome::Cancelled:
        return RecoveryCancelled;
    case TRecoveryOutcome::NothingFound:
    case TRecoveryOutcome::Skipped:
        return RecoverySkipped;
    case TRecoveryOutcome::ThunderbirdRuns:
        return RecoveryThunderbirdRuns;
    }
    return RecoverySkipped;
}

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

QString SelectedCountText(qint64 count)
{
    return PluralText(Translate("None of them is selected"), Translate("1 of them is selected"),
                      Translate("%u of them are selected"), CountArgument(count), true);
}

QString RecoveredMessageLine(const QString &path, qint64 count)
{
    return FolderHeading(path) + QStringLiteral(" - ") + RecoveredCountText(count);
}

QString RecoveredMessageLine(const QString &path, qint64 count, qint64 found)
{
    if (count >= found)
        return RecoveredMessageLine(path, count);
    const QString text = count == 1 ? SafeFormat(Translate("1 of %u deleted mails was recovered"), CountArgument(found))
                                    : SafeFormat(Translate("%u of %u deleted mails were recovered"),
                                                 CountArgument(count), CountArgument(found));
    return FolderHeading(path) + QStringLiteral(" - ") + text;
}

QString ThunderbirdStillRunningText()
{
    return Translate("Thunderbird is still running - ") + Translate("recovery aborted!");
}

TRecoveryResult RecoverMailFolder(const QString &path, TRecoveryPrompter &prompter,
                                  const TMailSelection &selection)
{
    try {
        const TScanResult scan = ScanMailFolder(
            path, prompter.Monitor(), prompter.CanChooseMails() ? TScanDetail::Summaries : TScanDetail::StatusOnly);
        return RecoverScannedMailFolder(scan, prompter, selection);
    } catch (const foundation::ECancelled &) {
        return Outcome(TRecoveryOutcome::Cancelled);
    }
}

TRecoveryResult RecoverScannedMailFolder(const TScanResult &scan, TRecoveryPrompter &prompter,
                                         const TMailSelection &selection)
{
    CheckMailSelection(scan, selection);
    try {
        return ConfirmAndRestore(scan, prompter, selection);
    } catch (const foundation::ECancelled &) {
        return Outcome(TRecoveryOutcome::Cancelled);
    }
}

} // namespace mailmend
