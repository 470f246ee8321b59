#pragma once

#include "mailmend/core/MailFolder.h"

#include <QString>
#include <QStringList>

// The recovery of one mail folder with its questions: count, confirm, make
// sure Thunderbird does not run, rewrite.

// What the recovery asks of its surroundings (the main window, the terminal,
// a test script).
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
    // moment of the rewrite.
    virtual bool MarkUnread() = 0;
    // Progress of the scan and the rewrite; returning false cancels.
    virtual bool Progress(qint64 done, qint64 total) { return true; }
};

// Results of RecoverMailFolder besides a count of recovered mails.
inline constexpr qint64 RecoveryCancelled = -1;
inline constexpr qint64 RecoverySkipped = -2;
inline constexpr qint64 RecoveryThunderbirdRuns = -3;

// Recovers the deleted mails of one folder file. Returns the number of
// recovered mails (>= 1), -1 when the user cancelled (a question or the
// progress), -2 when nothing was to be done or the user skipped the folder,
// -3 when Thunderbird still ran after the user was asked to close it. Errors
// of reading and writing the folder (see MailFolder.h) pass through.
qint64 RecoverMailFolder(const QString &path, TRecoveryPrompter &prompter);

// "Mailfolder: \"%s\"" with the folder file's name.
QString FolderHeading(const QString &path);
// "1 deleted mail found" / "%u deleted mails found" / "No deleted mails found".
QString FoundCountText(qint64 count);
// "1 deleted mail was recovered" / "%u deleted mails were recovered".
QString RecoveredCountText(qint64 count);
// The line reported for a recovered folder: heading + " - " + count text.
QString RecoveredMessageLine(const QString &path, qint64 count);
// "Thunderbird is still running - " + "recovery aborted!"
QString ThunderbirdStillRunningText();
