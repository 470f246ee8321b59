// Entry point of packprobe: the report on the command line, the window
// otherwise.
#include "packprobe/core/PackprobeCli.h"
#include "packprobe/core/StopSignal.h"
#include "packprobe/core/TerminalInput.h"
#include "packprobe/core/VerifyCli.h"
#include "packprobe/gui/PackprobeWindow.h"

#include "foundation/InitProg.h"
#include "foundation/LangUtils.h"
#include "foundation/PathUtils.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>

#include <cstdio>

using namespace foundation;
using namespace packprobe;

namespace {

QStringList ArgumentList(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

void StartProgram(const QStringList &arguments)
{
    InitProgram(QStringLiteral("Vaultkeep6") + PathDelim, QStringLiteral("Vaultkeep.cfg"),
                {QString::fromLatin1(RuntimeTextDomain), QString::fromLatin1(UnitsTextDomain)},
                arguments);
}

} // namespace

int main(int argc, char **argv)
{
    const QStringList arguments = ArgumentList(argc, argv);
    StartProgram(arguments);

    QTextStream out(stdout);
    QTextStream err(stderr);
    TCliOptions options;
    QString error;
    if (!ParseCommandLine(arguments.mid(1), options, error)) {
        err << error << '\n' << UsageText();
        err.flush();
        return ExitUsage;
    }
    if (options.Help) {
        out << UsageText();
        return ExitSuccess;
    }
    if (options.Version) {
        out << VersionText();
        return ExitSuccess;
    }
    if (!options.PasswordFile.isEmpty() && !CheckPasswordFile(options.PasswordFile, error)) {
        err << error << '\n';
        err.flush();
        return ExitUsage;
    }
    if (options.Verify) {
        QCoreApplication app(argc, argv);
        packprobe::TVerifyCommand command;
        command.Paths = options.Paths;
        command.Json = options.Json;
        command.Jobs = options.Jobs;
        command.ShowProgress = StderrIsTerminal();
        TConsolePasswordProvider passwords(options.PasswordStdin, options.PasswordFile);
        return packprobe::RunVerifyCommand(command, passwords, packprobe::CatchStopSignals(), out,
                                           err);
    }
    if (options.Report) {
        QCoreApplication app(argc, argv);
        TConsolePasswordProvider passwords(options.PasswordStdin, options.PasswordFile);
        return RunReport(options, passwords, out, err);
    }
    // Only the window needs a display and an application object with a GUI.
    return packprobe::RunPackprobeWindow(argc, argv, options.File);
}
