#include "foundation/InitProg.h"
#include "foundation/LangUtils.h"
#include "mailmend/core/CommandLine.h"
#include "mailmend/gui/WindowMode.h"

#include <QCoreApplication>
#include <QTextStream>

#include <csignal>
#include <cstdio>

#ifdef _WIN32
#include <io.h>
#define MAILMEND_ISATTY _isatty
#else
#include <unistd.h>
#define MAILMEND_ISATTY isatty
#endif

using namespace foundation;
using namespace mailmend;

namespace {

volatile std::sig_atomic_t CancelSignal = 0;

void OnInterrupt(int)
{
    // The running scan stops at its next buffer; a recovery that has begun
    // to write finishes its few one-byte writes. A second Ctrl+C ends the
    // program at once, which leaves every mail recovered or not.
    CancelSignal = 1;
    std::signal(SIGINT, SIG_DFL);
}

} // namespace

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    InitProgram(QString(), QString(), {QLatin1String(RuntimeTextDomain), QLatin1String(UnitsTextDomain)},
                arguments);
    // The mode is decided before any application object exists: only the
    // window needs a display and a QApplication.
    if (!mailmend::HasCommandLineMode(arguments))
        return mailmend::RunWindowMode(argc, argv, mailmend::ThunderbirdFolderOption(arguments));

    QCoreApplication app(argc, argv);
    std::signal(SIGINT, OnInterrupt);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QTextStream in(stdin);
    foundation::TFunctionMonitor monitor({}, [] { return CancelSignal != 0; });
    mailmend::TCommandLineIo io{out, err, in, MAILMEND_ISATTY(0) != 0, {}, &monitor};
    return mailmend::RunCommandLine(arguments, io);
}
