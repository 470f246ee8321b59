#include "mailmend/core/CommandLine.h"

#include "foundation/InitProg.h"
#include "foundation/LangUtils.h"
#include "foundation/StringUtils.h"
#include "mailmend/core/MailRecovery.h"
#include "mailmend/core/ProfilesIni.h"
#include "mailmend/core/RecoveryRun.h"
#include "mailmend/core/Thunderbird.h"

#include <QFileInfo>

namespace {

enum class TMode { None, Help, Version, ListProfiles, Scan, Recover };

struct TOptions
{
    TMode Mode = TMode::None;
    bool Unread = false;
    bool Yes = false;
    QString Thunderbird;
    QStringList Folders;
    QString Error;
};

TOptions ParseArguments(const QStringList &arguments)
{
    TOptions options;
    const auto setMode = [&](TMode mode) {
        if (options.Mode != TMode::None && options.Mode != mode && options.Error.isEmpty())
            options.Error = Translate("Only one of --list-profiles, --scan and --recover may be given.");
        options.Mode = mode;
    };
    bool positionalOnly = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments[i];
        if (positionalOnly || (!arg.startsWith(QStringLiteral("--")) && !IsClassicOption(arg))) {
            options.Folders.append(arg);
        } else if (arg == QStringLiteral("--")) {
            positionalOnly = true;
        } else if (IsClassicOption(arg)) {
            continue; // -lang:, -ini:, -portable: taken at start-up
        } else if (arg == QStringLiteral("--help")) {
            options.Mode = TMode::Help;
            return options;
        } else if (arg == QStringLiteral("--version")) {
            options.Mode = TMode::Version;
            return options;
        } else if (arg == QStringLiteral("--list-profiles")) {
            setMode(TMode::ListProfiles);
        } else if (arg == QStringLiteral("--scan")) {
            setMode(TMode::Scan);
        } else if (arg == QStringLiteral("--recover")) {
            setMode(TMode::Recover);
        } else if (arg == QStringLiteral("--unread")) {
            options.Unread = true;
        } else if (arg == QStringLiteral("--yes")) {
            options.Yes = true;
        } else if (arg == QStringLiteral("--thunderbird") && i + 1 < arguments.size()) {
            options.Thunderbird = arguments[++i];
        } else if (arg.startsWith(QStringLiteral("--thunderbird="))) {
            options.Thunderbird = arg.mid(14);
        } else if (options.Error.isEmpty()) {
            options.Error = SafeFormat(Translate("Unknown option \"%s\"."), arg);
        }
    }
    if (options.Error.isEmpty() && (options.Mode == TMode::Scan || options.Mode == TMode::Recover)
        && options.Folders.isEmpty())
        options.Error = Translate("No mail folder given.");
    if (options.Error.isEmpty() && options.Mode == TMode::ListProfiles && !options.Folders.isEmpty())
        options.Error = SafeFormat(Translate("Unexpected argument \"%s\"."), options.Folders.first());
    if (options.Error.isEmpty() && options.Mode == TMode::None
        && (options.Unread || options.Yes || !options.Folders.isEmpty()))
        options.Error = Translate("Say what to do: --list-profiles, --scan or --recover.");
    return options;
}

QString ForTerminal(const QString &text)
{
    QString copy = text;
    return copy.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// The questions of the recovery, asked on the terminal or answered by --yes.
class TTerminalPrompter : public TRecoveryPrompter
{
public:
    TTerminalPrompter(TCommandLineIo &io, const TOptions &options) : FIo(io), FOptions(options) {}

    int Choose(const QString &message, const QStringList &buttons) override
    {
        if (FOptions.Yes)
            return 0;
        FIo.Out << ForTerminal(message) << '\n';
        QStringList choices;
        for (qsizetype i = 0; i < buttons.size(); ++i)
            choices.append(QString::number(i + 1) + QStringLiteral(" = ") + buttons[i]);
        choices.append(QStringLiteral("0 = ") + Translate("Cancel"));
        for (;;) {
            FIo.Out << choices.join(QStringLiteral(", ")) << QStringLiteral(": ") << Qt::flush;
            const QString answer = FIo.In.readLine();
            if (answer.isNull())
                return -1; // end of input: as a closed dialog
            const QString given = answer.trimmed();
            bool isNumber = false;
            const int number = given.toInt(&isNumber);
            if (isNumber && number >= 0 && number <= buttons.size())
                return number - 1;
            for (qsizetype i = 0; i < buttons.size(); ++i) {
                if (given.compare(buttons[i], Qt::CaseInsensitive) == 0)
                    return int(i);
            }
            if (given.compare(Translate("Cancel"), Qt::CaseInsensitive) == 0)
                return -1;
        }
    }

    // A warning with a safe answer: --yes takes that answer and still
    // shows the warning.
    int ChooseWithFocus(const QString &message, const QStringList &buttons, int focusButton) override
    {
        if (!FOptions.Yes)
            return Choose(message, buttons);
        FIo.Err << ForTerminal(message) << "\n-> " << buttons.value(focusButton) << '\n';
        return focusButton;
    }

    bool IsThunderbirdRunning(const QString &folderFile) override
    {
        return FIo.IsThunderbirdRunning ? FIo.IsThunderbirdRunning(folderFile) : IsThunderbirdRunningFor(folderFile);
    }

    bool MarkUnread() override { return FOptions.Unread; }

    bool Progress(qint64, qint64) override { return !(FIo.CancelRequested && FIo.CancelRequested()); }

private:
    TCommandLineIo &FIo;
    const TOptions &FOptions;
};

int ListProfiles(const TOptions &options, TCommandLineIo &io)
{
    TThunderbirdFiles files(FindThunderbirdFolder(options.Thunderbird));
    TProfileList list;
    if (!LoadProfiles(list, files)) {
        io.Err << Translate("No Thunderbird profiles found!") << " (" << files.TbProf << ")\n";
        return ExitFailed;
    }
    for (int i = 0; i < list.Count(); ++i) {
        const QString name = list.Name(i);
        io.Out << (list.Profile(i).Default ? QStringLiteral("* ") : QStringLiteral("  "))
               << list.GetProfileName(name) << '\t' << list.GetPathName(name) << '\t' << list.GetFullPath(name)
               << '\n';
    }
    return ExitOk;
}

int Scan(const TOptions &options, TCommandLineIo &io)
{
    int result = ExitOk;
    for (const QString &folder : options.Folders) {
        const QString path = QFileInfo(folder).absoluteFilePath();
        try {
            const TScanResult scan = ScanMailFolder(path, [&io](qint64, qint64) {
                return !(io.CancelRequested && io.CancelRequested());
            });
            io.Out << FolderHeading(path) << '\n' << FoundCountText(scan.DeletedCount) << '\n';
        } catch (const EMailFolderCancelled &) {
            return ExitCancelled;
        } catch (const std::exception &e) {
            io.Err << foundation::ErrorMessageOf(e) << '\n';
            result = ExitFailed;
        }
    }
    return result;
}

int Recover(const TOptions &options, TCommandLineIo &io)
{
    if (!options.Yes && !io.Interactive) {
        io.Err << Translate("--recover asks its questions on a terminal. Without one, give --yes to answer "
                            "every question with its first button.")
               << '\n';
        return ExitUsage;
    }
    TTerminalPrompter prompter(io, options);
    for (const QString &folder : options.Folders) {
        const QString path = QFileInfo(folder).absoluteFilePath();
        try {
            const qint64 result = mailmend::RecoverFolderFile(path, prompter);
            if (result >= 1) {
                io.Out << RecoveredMessageLine(path, result) << '\n';
            } else if (result == RecoveryCancelled) {
                return ExitCancelled;
            } else if (result == RecoveryThunderbirdRuns) {
                io.Err << ThunderbirdStillRunningText() << '\n';
                return ExitFailed;
            }
        } catch (const std::exception &e) {
            io.Err << foundation::ErrorMessageOf(e) << '\n';
            return ExitFailed;
        }
        io.Out << Qt::flush;
    }
    return ExitOk;
}

} // namespace

QString CommandLineUsage()
{
    return Translate("Usage:\n"
                     "  mailmend [--thunderbird DIR]             open the window\n"
                     "  mailmend --list-profiles [--thunderbird DIR]\n"
                     "                                           list Thunderbird's profiles (* = default)\n"
                     "  mailmend --scan FOLDER...                count the deleted mails of mail folder files\n"
                     "  mailmend --recover [--unread] [--yes] FOLDER...\n"
                     "                                           recover the deleted mails; --unread marks them\n"
                     "                                           as unread, --yes answers every question with\n"
                     "                                           its first button\n"
                     "Common options: --help, --version, -lang:CODE, -ini:PATH, -portable\n"
                     "Exit status: 0 done, 1 error or Thunderbird still running, 2 bad usage, 3 cancelled\n");
}

QString ThunderbirdFolderOption(const QStringList &arguments)
{
    return ParseArguments(arguments).Thunderbird;
}

bool HasCommandLineMode(const QStringList &arguments)
{
    const TOptions options = ParseArguments(arguments);
    return !options.Error.isEmpty() || options.Mode != TMode::None;
}

int RunCommandLine(const QStringList &arguments, TCommandLineIo &io)
{
    const TOptions options = ParseArguments(arguments);
    int result = NoCommandLineMode;
    if (!options.Error.isEmpty()) {
        io.Err << options.Error << '\n' << CommandLineUsage();
        result = ExitUsage;
    } else {
        switch (options.Mode) {
        case TMode::None:
            break;
        case TMode::Help:
            io.Out << CommandLineUsage();
            result = ExitOk;
            break;
        case TMode::Version:
            io.Out << QStringLiteral("mailmend ") << QStringLiteral(MP_VERSION) << '\n';
            result = ExitOk;
            break;
        case TMode::ListProfiles:
            result = ListProfiles(options, io);
            break;
        case TMode::Scan:
            result = Scan(options, io);
            break;
        case TMode::Recover:
            result = Recover(options, io);
            break;
        }
    }
    io.Out << Qt::flush;
    io.Err << Qt::flush;
    return result;
}
