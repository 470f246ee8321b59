#pragma once

#include "packprobe/core/GzAnalysis.h"

#include "foundation/InitProg.h" // ExitUsage

#include <QString>
#include <QStringList>

class QTextStream;

namespace packprobe {

// The command line of packprobe besides the window:
//   packprobe [FILE]
//   packprobe --report FILE [--json] [--password-stdin] [--save OUT [--force]]
//   packprobe --verify PATH... [--json] [-j N] [--password-stdin | --password-file F]
//   packprobe --help | --version
// Classic options (-lang:, -ini:, -portable) belong to InitProgram and are
// skipped here.

// Exit statuses: 0 only when the file is intact, 1 for every other verdict
// and for a failed save, 2 for bad usage.
inline constexpr int ExitSuccess = 0;
inline constexpr int ExitAnalysisError = 1;

struct TCliOptions
{
    bool Report = false;
    bool Json = false;
    bool PasswordStdin = false;
    bool Force = false;       // --force: --save may replace an existing file
    bool Help = false;
    bool Version = false;
    bool Verify = false;
    int Jobs = 0;     // -j N (--verify): files checked at a time; 0: one per core
    QString File;     // the file to analyse (with or without --report)
    QStringList Paths; // --verify: the files and folders to check
    QString SaveTo;   // --save OUT
    QString PasswordFile; // --password-file F
};

// Parses the arguments without the program's name. False with a message for
// bad usage.
bool ParseCommandLine(const QStringList &arguments, TCliOptions &options, QString &error);

// A --password-file that cannot give a password at all (missing, a folder,
// unreadable): false with a message, so the run stops before any work
// instead of reporting every encrypted file as having no password.
bool CheckPasswordFile(const QString &name, QString &error);

QString UsageText();
QString VersionText();

// Passwords for the command line: the first line of standard input, or a
// line typed on the terminal without echo. The line is taken as text of the
// terminal's encoding and passed on in the legacy 8-bit code page, as the
// password dialog does. No line, or an empty one, is no password.
// With a password file, its first line is taken instead.
class TConsolePasswordProvider : public IPasswordProvider
{
public:
    explicit TConsolePasswordProvider(bool fromStdin, QString passwordFile = QString())
        : FFromStdin(fromStdin), FPasswordFile(std::move(passwordFile))
    {
    }
    bool AskPassword(const QString &fileName, QByteArray &password) override;

private:
    bool FFromStdin;
    QString FPasswordFile;
};

// Runs the analysis of options.File, prints the report (text or JSON) to out
// and its message to err, and saves the unpacked data to options.SaveTo when
// given. A save target that must not be written is refused before the
// analysis. Returns ExitSuccess when the verdict is intact and the save (if
// any) succeeded, else ExitAnalysisError.
int RunReport(const TCliOptions &options, IPasswordProvider &passwords, QTextStream &out,
              QTextStream &err);

} // namespace packprobe
