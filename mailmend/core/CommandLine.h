#pragma once

#include "foundation/InitProg.h" // ExitUsage
#include "foundation/Progress.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

#include <functional>

// The command line of mailmend:
//   mailmend --list-profiles [--thunderbird DIR]
//   mailmend --scan FOLDER...
//   mailmend --list-deleted FOLDER... [--json]
//   mailmend --recover [--unread] [--yes] [--only LIST] FOLDER...
//   mailmend --help | --version
// Classic options (-lang:, -ini:, -portable) are handled at start-up and
// skipped here. Results go to Out; questions, errors and notices to Err.

namespace mailmend {

struct TCommandLineIo
{
    QTextStream &Out;
    QTextStream &Err;
    QTextStream &In;
    // Questions can be asked (standard input is a terminal).
    bool Interactive = false;
    // The running test before a folder is written; empty: the real one.
    std::function<bool(const QString &folderFile)> IsThunderbirdRunning;
    // Watches the scans and recoveries (Ctrl+C); nullptr for none.
    foundation::IProgressMonitor *Monitor = nullptr;
};

// Exit codes (bad usage: ExitUsage, 2).
inline constexpr int ExitOk = 0;
inline constexpr int ExitFailed = 1;   // an error, or Thunderbird still ran
inline constexpr int ExitCancelled = 3;
// RunCommandLine's answer when the arguments name no command-line mode.
inline constexpr int NoCommandLineMode = -1;

// Runs the command-line mode the arguments ask for (arguments as the program
// received them, its own name first) and returns the exit code, or
// NoCommandLineMode when there is none (the window is to be shown).
int RunCommandLine(const QStringList &arguments, TCommandLineIo &io);

// True when RunCommandLine would answer with an exit code instead of
// NoCommandLineMode: a command-line mode or bad usage. Decided from the
// arguments alone, before the program makes any application object.
bool HasCommandLineMode(const QStringList &arguments);

QString CommandLineUsage();

// The folder given with --thunderbird (the window takes it too); empty when none.
QString ThunderbirdFolderOption(const QStringList &arguments);

} // namespace mailmend
