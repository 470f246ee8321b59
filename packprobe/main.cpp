// Entry point of packprobe: the report on the command line, the window
// otherwise.
#include "packprobe/core/PackprobeCli.h"

#include "foundation/InitProg.h"
#include "foundation/LangUtils.h"
#include "foundation/PathUtils.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>

#include <cstdio>

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

// The window is not part of this build yet: say so instead of doing nothing.
int RunWindow(const TCliOptions &, QTextStream &err)
{
    err << Translate("The window of packprobe is not available in this build; use --report FILE.")
        << '\n'
        << UsageText();
    err.flush();
    return ExitUsage;
}

} // namespace

int main(int argc, char **argv)
{
    const QStringList arguments = ArgumentList(argc, argv);
    QCoreApplication app(argc, argv);
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
    if (options.Report) {
        TConsolePasswordProvider passwords(options.PasswordStdin);
        return RunReport(options, passwords, out, err);
    }
    return RunWindow(options, err);
}
