#include "packprobe/core/PackprobeCli.h"

#include "packprobe/core/GzReport.h"
#include "packprobe/core/TerminalInput.h"

#include "foundation/FileUtils.h"
#include "foundation/InitProg.h"
#include "foundation/LangUtils.h"
#include "foundation/SecureWipe.h"
#include "foundation/StringUtils.h"

#include <QFile>
#include <QFileInfo>
#include <QTextStream>

namespace packprobe {

using namespace foundation;

namespace {

// Longer lines are cut; the container keeps only the first 128 bytes anyway.
constexpr qsizetype MaxPasswordLine = 4096;
// More threads than this would only fight over the disk.
constexpr int MaxJobs = 256;

bool TakeValue(const QStringList &arguments, qsizetype &index, const QString &option,
               QString &value, QString &error)
{
    const QString &argument = arguments.at(index);
    const QString prefix = option + QLatin1Char('=');
    if (argument.startsWith(prefix)) {
        value = argument.mid(prefix.size());
    } else if (index + 1 < arguments.size()) {
        value = arguments.at(++index);
    } else {
        error = SafeFormat(Translate("Option %s needs a value."), option);
        return false;
    }
    if (value.isEmpty()) {
        error = SafeFormat(Translate("Option %s needs a value."), option);
        return false;
    }
    return true;
}

// -j N, -jN, --jobs N or --jobs=N: a count from 1 to MaxJobs.
bool TakeJobs(const QStringList &arguments, qsizetype &index, int &jobs, QString &error)
{
    const QString &argument = arguments.at(index);
    QString value;
    if (argument.startsWith(QLatin1String("-j")) && argument.size() > 2) {
        value = argument.mid(2);
    } else if (argument.startsWith(QLatin1String("--jobs="))) {
        value = argument.mid(7);
    } else if (index + 1 < arguments.size()) {
        value = arguments.at(++index);
    }
    bool ok = false;
    jobs = value.toInt(&ok);
    if (!ok || jobs < 1 || jobs > MaxJobs) {
        error = SafeFormat(Translate("-j needs a number of files from 1 to %d."), MaxJobs);
        return false;
    }
    return true;
}

bool CheckVerifyOptions(TCliOptions &options, QString &error)
{
    if (options.Report || !options.SaveTo.isEmpty() || options.Force) {
        error = Translate("--verify checks files without saving; it cannot be combined with "
                          "--report, --save or --force.");
        return false;
    }
    if (options.PasswordStdin && !options.PasswordFile.isEmpty()) {
        error = Translate("Give either --password-stdin or --password-file.");
        return false;
    }
    if (options.Paths.isEmpty()) {
        error = Translate("--verify needs at least one file or folder.");
        return false;
    }
    return true;
}

// The first line of a file, bounded like a typed one.
bool ReadPasswordFile(const QString &name, QByteArray &line)
{
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    line = file.readLine(MaxPasswordLine + 1);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return true;
}

} // namespace

bool CheckPasswordFile(const QString &name, QString &error)
{
    // Only looked at, not opened: the file may be a pipe whose one line
    // must be kept for the real read.
    const QFileInfo info(name);
    if (!info.exists())
        error = SafeFormat(Translate("The password file \"%s\" does not exist."), name);
    else if (info.isDir())
        error = SafeFormat(Translate("The password file \"%s\" is a folder."), name);
    else if (!info.isReadable())
        error = SafeFormat(Translate("The password file \"%s\" cannot be read."), name);
    else
        return true;
    return false;
}

bool ParseCommandLine(const QStringList &arguments, TCliOptions &options, QString &error)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        const QString name = argument.section(QLatin1Char('='), 0, 0);
        if (argument == QLatin1String("--")) {
            // Everything after it is a file name.
            options.Paths.append(arguments.mid(i + 1));
            break;
        }
        if (name == QLatin1String("--report")) {
            options.Report = true;
            QString file;
            if (!TakeValue(arguments, i, name, file, error))
                return false;
            if (!options.File.isEmpty() && options.File != file) {
                error = Translate("Only one file can be analysed at a time.");
                return false;
            }
            options.File = file;
        } else if (argument == QLatin1String("--json")) {
            options.Json = true;
        } else if (argument == QLatin1String("--password-stdin")) {
            options.PasswordStdin = true;
        } else if (argument == QLatin1String("--force")) {
            options.Force = true;
        } else if (name == QLatin1String("--save")) {
            if (!TakeValue(arguments, i, name, options.SaveTo, error))
                return false;
        } else if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            options.Help = true;
        } else if (argument == QLatin1String("--version")) {
            options.Version = true;
        } else if (argument == QLatin1String("--verify")) {
            options.Verify = true;
        } else if (name == QLatin1String("--password-file")) {
            if (!TakeValue(arguments, i, name, options.PasswordFile, error))
                return false;
        } else if (argument.startsWith(QLatin1String("-j")) || name == QLatin1String("--jobs")) {
            if (!TakeJobs(arguments, i, options.Jobs, error))
                return false;
        } else if (argument.startsWith(QLatin1String("--"))) {
            error = SafeFormat(Translate("Unknown option: %s"), argument);
            return false;
        } else if (IsClassicOption(argument)) {
            // A classic option (-lang:, -ini:, -portable): read by InitProgram.
        } else {
            options.Paths.append(argument);
        }
    }
    if (options.Help || options.Version)
        return true;
    if (options.Verify)
        return CheckVerifyOptions(options, error);
    if (options.Jobs > 0) {
        error = Translate("-j needs --verify.");
        return false;
    }
    for (const QString &path : std::as_const(options.Paths)) {
        if (!options.File.isEmpty() && options.File != path) {
            error = Translate("Only one file can be analysed at a time.");
            return false;
        }
        options.File = path;
    }
    if (!options.PasswordFile.isEmpty() && !options.Report) {
        error = Translate("--password-file needs --report or --verify.");
        return false;
    }
    const bool reportOnly = options.Json || options.PasswordStdin || !options.SaveTo.isEmpty();
    if (reportOnly && !options.Report) {
        error = Translate("--json, --password-stdin and --save need --report.");
        return false;
    }
    if (options.Force && options.SaveTo.isEmpty()) {
        error = Translate("--force needs --save.");
        return false;
    }
    return true;
}

QString UsageText()
{
    return Translate("Usage: packprobe [FILE]\n"
                     "       packprobe --report FILE [--json] [--password-stdin] [--save OUT [--force]]\n"
                     "       packprobe --verify PATH... [--json] [-j N] [--password-stdin | --password-file F]\n"
                     "\n"
                     "Analyses a gz file of the backup program: header, trailer and the values\n"
                     "that unpacking the data gives.\n"
                     "\n"
                     "  --report FILE     print the analysis of FILE instead of opening the window\n"
                     "  --verify PATH...  check every .gz and .gze file named or found below the\n"
                     "                    folders named, one line each, then a summary; saves nothing\n"
                     "  --json            print one JSON object instead of the lists (--verify: one\n"
                     "                    per file and the summary last)\n"
                     "  --password-stdin  read the password of encrypted files from the first\n"
                     "                    line of standard input (else it is asked on the terminal)\n"
                     "  --password-file F read it from the first line of the file F\n"
                     "  -j N              --verify: check N files at a time (default: one per core)\n"
                     "  --save OUT        save the unpacked data to OUT (a new file)\n"
                     "  --force           let --save replace an existing file that is not\n"
                     "                    write-protected\n"
                     "  --help            show this help\n"
                     "  --version         show the version\n"
                     "  -lang:CODE, -ini:PATH, -portable   language and settings location\n"
                     "\n"
                     "After the values a verdict: intact, truncated, mismatch (naming the value)\n"
                     "or error, with notes.\n"
                     "\n"
                     "Exit status: 0 intact (--verify: every file), 1 any other verdict or a failed\n"
                     "save, 2 bad usage.\n");
}

QString VersionText()
{
    return QStringLiteral("packprobe " MP_VERSION "\n" MP_DESCRIPTION "\n" MP_COPYRIGHT "\n");
}

bool TConsolePasswordProvider::AskPassword(const QString &fileName, QByteArray &password)
{
    QByteArray line;
    const bool got = !FPasswordFile.isEmpty() ? ReadPasswordFile(FPasswordFile, line)
                     : FFromStdin
                         ? ReadStdinLine(line, MaxPasswordLine)
                         : ReadHiddenLine(Translate("Password: "), line, MaxPasswordLine);
    if (!got || line.isEmpty()) {
        WipeBytes(line);
        return false;
    }
    QString text = QString::fromLocal8Bit(line);
    WipeBytes(line);
    password = UnicodeToLegacyCodePage(text);
    WipeText(text);
    return true;
}

namespace {

void PrintSaveError(const TCliOptions &options, const EExtFileStreamError &error, QTextStream &err)
{
    err << error.Message() << '\n';
    const bool analysedFile = options.SaveTo == options.File || IsSameFile(options.SaveTo, options.File);
    if (!options.Force && !analysedFile && QFileInfo(options.SaveTo).isFile())
        err << Translate("Give --force to replace it.") << '\n';
    err.flush();
}

// Why there was no password, when the user may not know.
QString NoPasswordText(const TCliOptions &options)
{
    if (!options.PasswordStdin && !StdinIsTerminal())
        return Translate("No password: standard input is not a terminal. Give --password-stdin to "
                         "read the password from the first line of standard input.");
    if (options.PasswordStdin)
        return Translate("No password: standard input has no line with a password.");
    return Translate("No password");
}

} // namespace

int RunReport(const TCliOptions &options, IPasswordProvider &passwords, QTextStream &out,
              QTextStream &err)
{
    // Refused before the work, so that nobody waits for an unpacking whose
    // result cannot be kept.
    if (!options.SaveTo.isEmpty()) {
        try {
            CheckSaveTarget(options.SaveTo, options.File, options.Force);
        } catch (const EExtFileStreamError &error) {
            PrintSaveError(options, error, err);
            return ExitAnalysisError;
        }
    }
    // Without --save nothing is written; with it the data is written once,
    // beside the file it is saved as.
    TGzAnalyzer analyzer(TDataTarget::CountOnly);
    if (!options.SaveTo.isEmpty())
        analyzer.SaveNextTo(options.SaveTo);
    const TAnalysisReport report = analyzer.AnalyzeFile(options.File, passwords);
    if (options.Json)
        out << QString::fromUtf8(FormatReportJson(report));
    else
        out << FormatReportText(report);
    out.flush();
    if (!report.Message.isEmpty())
        err << report.Message << '\n';
    else if (report.Stage == TAnalysisStage::NoPassword)
        err << NoPasswordText(options) << '\n';
    err.flush();
    if (!report.Succeeded())
        return ExitAnalysisError;
    if (!options.SaveTo.isEmpty()) {
        try {
            analyzer.SaveUnpackedData(options.SaveTo, options.Force);
        } catch (const EExtFileStreamError &error) {
            PrintSaveError(options, error, err);
            return ExitAnalysisError;
        }
    }
    return report.Verdict.Intact() ? ExitSuccess : ExitAnalysisError;
}

} // namespace packprobe
