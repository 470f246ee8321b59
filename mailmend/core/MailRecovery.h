#pragma once

#include "foundation/Progress.h"
#include "mailmend/core/MailFolder.h"
#include "mailmend/core/MailSelection.h"

#include <QString>
#include <QStringList>

// The recovery of one mail folder with its questions: count, confirm, make
// sure Thunderbird does not run, recover.

namespace mailmend {

// What the recovery asks of its surroundings (the main window, the terminal,
// a test script). A window that runs the recovery on a worker thread answers
// these calls on its UI thread and returns "cancel" (-1) once the user
// cancelled.
class TRecoveryPrompter
{
public:
    virtual ~TRecoveryPrompter() = default;

    // The choice dialog: shows message with the caller's buttons followed by
    // a Cancel button; returns the index of the chosen button, or -1 for
    // Cancel or a closed dialog.
    virtual int Choose(const QString &message, const QStringList &buttons) = 0;
    // As Choose, with the keyboard focus on the button of index focusButton
    // (the safe answer) instead of Cancel.
    virtual int ChooseWithFocus(const QString &message, const QStringList &buttons, int focusButton)
    {
        return Choose(message, buttons);
    }
    // Whether Thunderbird runs and may write folderFile.
    virtual bool IsThunderbirdRunning(const QString &folderFile) = 0;
    // Whether the recovered mails are to be marked as unread, asked at the
    // moment of the recovery.
    virtual bool MarkUnread() = 0;
    // Watches the scan and the recovery (progress, cancel request); nullptr
    // for none.
    virtual foundation::IProgressMonitor *Monitor() { return nullptr; }
    // The request to close Thunderbird, shown with the one button
    // "Continue": "Please close the running Thunderbird application\r\nand
    // then click \"Continue\" to start the recovery!". A terminal says
    // "type" instead of "click".
    virtual QString CloseThunderbirdMessage() const;
    // Whether the confirmation offers "Choose…": the list of the folder's
    // deleted mails, from which the user checks the ones to recover. The
    // scan then reads their Date, From and Subject too.
    virtual bool CanChooseMails() const { return false; }
    // Shows that list. True with the checked mails in selection; false (the
    // user went back) leaves selection as it was and asks the confirmation
    // again.
    virtual bool ChooseMails(const TScanResult &scan, TMailSelection &selection) { return false; }
};

// How one folder's recovery ended.
enum class TRecoveryOutcome {
    Recovered,       // Count mails (>= 1) were recovered and the index file removed
    Cancelled,       // the user cancelled a question or the scan; nothing was written
    NothingFound,    // no deleted mails (the user saw the notice); nothing was written
    Skipped,         // the user chose "Skip"; nothing was written
    ThunderbirdRuns, // Thunderbird still ran after the user was asked to close it
};

struct TRecoveryResult
{
    TRecoveryOutcome Outcome = TRecoveryOutcome::Skipped;
    qint64 Count = 0; // mails recovered; 0 unless Recovered
    qint64 Found = 0; // deleted mails the scan found; 0 unless Recovered

    // The outcome as one signed number: the count (>= 1), -1 cancelled,
    // -2 nothing found or skipped, -3 Thunderbird still runs.
    qint64 Code() const;
    bool operator==(const TRecoveryResult &) const = default;
};

inline constexpr qint64 RecoveryCancelled = -1;
inline constexpr qint64 RecoverySkipped = -2;
inline constexpr qint64 RecoveryThunderbirdRuns = -3;

// Recovers the deleted mails of one folder file (with a selection: only the
// chosen ones, by the numbers of a scan of the same file). Scans, asks for
// confirmation, asks to close a running Thunderbird, then recovers in place.
// Errors of reading and writing the folder (see MailFolder.h) pass through;
// a selection with a number the folder does not have raises
// EMailSelectionError before any question. A cancel request of the
// prompter's monitor ends as Cancelled.
TRecoveryResult RecoverMailFolder(const QString &path, TRecoveryPrompter &prompter,
                                  const TMailSelection &selection = TMailSelection::All());

// The same with a scan the caller already made (for example the one whose
// list the user chose from): no second scan; a folder changed since that scan
// is refused with EMailFolderChanged when it is written.
TRecoveryResult RecoverScannedMailFolder(const TScanResult &scan, TRecoveryPrompter &prompter,
                                         const TMailSelection &selection = TMailSelection::All());

// "Mailfolder: \"%s\"" with the folder file's name.
QString FolderHeading(const QString &path);
// "1 deleted mail found" / "%u deleted mails found" / "No deleted mails found".
QString FoundCountText(qint64 count);
// "1 deleted mail was recovered" / "%u deleted mails were recovered".
QString RecoveredCountText(qint64 count);
// The line reported for a recovered folder: heading + " - " + count text.
QString RecoveredMessageLine(const QString &path, qint64 count);
// The same for count of found deleted mails: when only some of them were
// chosen, the count text says how many of how many ("%u of %u deleted mails
// were recovered").
QString RecoveredMessageLine(const QString &path, qint64 count, qint64 found);
// "Thunderbird is still running - " + "recovery aborted!"
QString ThunderbirdStillRunningText();
// "1 of them is selected" / "%u of them are selected" / "None of them is selected".
QString SelectedCountText(qint64 count);

} // namespace mailmend
