#pragma once

#include "mailmend/core/MailRecovery.h"

#include <QString>
#include <QStringList>

#include <functional>

// The recovery run over the folder files the user selected: one folder after
// the other, with a message line for each folder whose mails came back.

namespace mailmend {

// How a run ended.
enum class TRunEnd {
    Completed,       // every folder was handled (recovered, empty or skipped)
    Cancelled,       // the user cancelled a question or the progress
    ThunderbirdRuns, // Thunderbird still ran after the user was asked to close it
};

// RecoverMailFolder for one folder file, preceded for an offline copy of a
// server folder (IsImapFolderFile) by the warning of ImapFolderWarningText
// with the answers "Skip" (focused) and "Recover anyway". Skip gives
// Skipped, Cancel Cancelled; nothing is read before the answer.
TRecoveryResult RecoverFolderFile(const QString &path, TRecoveryPrompter &prompter,
                                  const TMailSelection &selection = TMailSelection::All());

// Runs RecoverFolderFile over paths in their order. beginFolder (when
// given) is told each path before its folder is handled; addLine receives the
// message line of every folder with recovered mails (RecoveredMessageLine).
// Cancel and a Thunderbird that still runs end the run; so does an error of
// reading or writing a folder, which passes through to the caller after the
// lines of the folders before it.
TRunEnd RecoverFolderFiles(const QStringList &paths, TRecoveryPrompter &prompter,
                           const std::function<void(const QString &line)> &addLine,
                           const std::function<void(const QString &path)> &beginFolder = {});

} // namespace mailmend
