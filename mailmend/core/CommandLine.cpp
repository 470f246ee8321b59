#include "mailmend/core/CommandLine.h"

#include "foundation/InitProg.h"
#include "foundation/LangUtils.h"
#include "foundation/StringUtils.h"
#include "mailmend/core/MailRecovery.h"
#include "mailmend/core/ProfilesIni.h"
#include "mailmend/core/RecoveryRun.h"
#include "mailmend/core/Thunderbird.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <optional>

namespace mailmend {

using namespace foundation;

namespace {

enum class TMode { None, Help, Version, ListProfiles, Scan, ListDeleted, Recover };

struct TOptions
{
    TMode Mode = TMode::None;
    bool Unread = false;
    bool Yes = false;
    bool Json = false;
    QString Only; // the --only list as typed
    bool HasOnly = false;
    QString Thunderbird;
    QStringList Folders;
    QString Error;
};

// The value of an option given as "--option VALUE" or "--option=VALUE".
bool TakeValue(const QStringList &arguments, qsizetype &index, const QString &option, QString &value,
               QString &error)
{
    const QString &argument = arguments.at(index);
    const QString prefix = option + QLatin1Char('=');
    if (argument.startsWith(prefix))
        value = argument.mid(prefix.size());
    else if (argument == option && index + 1 < arguments.size())
        value = arguments.at(++index);
    if (value.isEmpty() && error.isEmpty())
        error = SafeFormat(Translate("Option %s needs a value."), option);
    return !value.isEmpty();
}

bool IsOption(const QString &argument, const QString &option)
{
    return argument == option || argument.startsWith(option + QLatin1Char('='));
}

// The same folder named twice (also through another spelling of its path) is
// processed once, at its first place.
QStringList UniqueFolders(const QStringList &folders)
{
    QStringList unique;
    QStringList keys;
    for (const QString &folder : folders) {
        const QFileInfo info(folder);
        const QString canonical = info.canonicalFilePath();
        const QString key = canonical.isEmpty() ? info.absoluteFilePath() : canonical;
        if (!keys.contains(key)) {
            keys.append(key);
            unique.append(folder);
        }
    }
    return unique;
}

QString CheckOptions(const TOptions &options)
{
    const bool folderMode = options.Mode == TMode::Scan || options.Mode == TMode::ListDeleted
                            || options.Mode == TMode::Recover;
    if (folderMode && options.Folders.isEmpty())
        return Translate("No mail folder given.");
    if (options.Mode == TMode::ListProfiles && !options.Folders.isEmpty())
        return SafeFormat(Translate("Unexpected argument \"%s\"."), options.Folders.first());
    if (options.Mode == TMode::None && (options.Unread || options.Yes || options.Json || options.HasOnly
                                        || !options.Folders.isEmpty()))
        return Translate("Say what to do: --list-profiles, --scan, --list-deleted or --recover.");
    if (options.Json && options.Mode != TMode::ListDeleted)
        return SafeFormat(Translate("Option %s goes only with %s."), QStringLiteral("--json"),
                          QStringLiteral("--list-deleted"));
    if (options.HasOnly && options.Mode != TMode::Recover)
        return SafeFormat(Translate("Option %s goes only with %s."), QStringLiteral("--only"),
                          QStringLiteral("--recover"));
    if (options.HasOnly && options.Folders.size() != 1)
        return Translate("--only chooses mails of one mail folder; give exactly one.");
    return {};
}

TOptions ParseArguments(const QStringList &arguments)
{
    TOptions options;
    const auto setMode = [&](TMode mode) {
        if (options.Mode != TMode::None && options.Mode != mode && options.Error.isEmpty())
            options.Error = Translate("Only one of --list-profiles, --scan, --list-deleted and --recover may be given.");
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
        } else if (arg == QStringLiteral("--list-deleted")) {
            setMode(TMode::ListDeleted);
        } else if (arg == QStringLiteral("--recover")) {
            setMode(TMode::Recover);
        } else if (arg == QStringLiteral("--unread")) {
            options.Unread = true;
        } else if (arg == QStringLiteral("--yes")) {
            options.Yes = true;
        } else if (arg == QStringLiteral("--json")) {
            options.Json = true;
        } else if (IsOption(arg, QStringLiteral("--only"))) {
            options.HasOnly = true;
            TakeValue(arguments, i, QStringLiteral("--only"), options.Only, options.Error);
        } else if (IsOption(arg, QStringLiteral("--thunderbird"))) {
            TakeValue(arguments, i, QStringLiteral("--thunderbird"), options.Thunderbird, options.Error);
        } else if (options.Error.isEmpty()) {
            options.Error = SafeFormat(Translate("Unknown option \"%s\"."), arg);
        }
    }
    options.Folders = UniqueFolders(options.Folders);
    if (options.Error.isEmpty())
        options.Error = CheckOptions(options);
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
        FIo.Err << ForTerminal(message) << '\n';
        QStringList choices;
        for (qsizetype i = 0; i < buttons.size(); ++i)
            choices.append(QString::number(i + 1) + QStringLiteral(" = ") + buttons[i]);
        choices.append(QStringLiteral("0 = ") + Translate("Cancel"));
        for (;;) {
            FIo.Err << choices.join(QStringLiteral(", ")) << QStringLiteral(" [1]: ") << Qt::flush;
            const QString answer = FIo.In.readLine();
            if (answer.isNull())
                return -1; // end of input: as a closed dialog
            if (const std::optional<int> chosen = Answer(answer.trimmed(), buttons))
                return *chosen;
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

    foundation::IProgressMonitor *Monitor() override { return FIo.Monitor; }

    QString CloseThunderbirdMessage() const override
    {
        return Translate("Please close the running Thunderbird application\r\nand then type \"Continue\" ")
               + Translate("to start the recovery!");
    }

private:
    // A typed answer: Enter for the first button, a number (0 = Cancel), a
    // caption, or the first letter of exactly one caption.
    static std::optional<int> Answer(const QString &given, const QStringList &buttons)
    {
        if (given.isEmpty())
            return 0;
        QStringList captions = buttons;
        captions.append(Translate("Cancel"));
        const auto index = [&](qsizetype i) { return i == buttons.size() ? -1 : int(i); };
        bool isNumber = false;
        const int number = given.toInt(&isNumber);
        if (isNumber)
            return number >= 0 && number <= buttons.size() ? std::optional<int>(number - 1) : std::nullopt;
        for (qsizetype i = 0; i < captions.size(); ++i) {
            if (given.compare(captions[i], Qt::CaseInsensitive) == 0)
                return index(i);
        }
        std::optional<int> byLetter;
        int matches = 0;
        for (qsizetype i = 0; i < captions.size(); ++i) {
            if (given.size() == 1 && captions[i].startsWith(given, Qt::CaseInsensitive)) {
                byLetter = index(i);
                ++matches;
            }
        }
        return matches == 1 ? byLetter : std::nullopt;
    }

    TCommandLineIo &FIo;
    const TOptions &FOptions;
};

QString CancelledText()
{
    return Translate("Cancelled by the user.");
}

QString ProfileLine(const TProfileList &list, int i)
{
    const QString name = list.Name(i);
    QString shown = list.GetProfileName(name);
    if (shown.compare(name, Qt::CaseInsensitive) != 0)
        shown += QStringLiteral(" (") + name + QLatin1Char(')');
    return (list.Profile(i).Default ? QStringLiteral("* ") : QStringLiteral("  ")) + EscapeControlChars(shown)
           + QLatin1Char('\t') + EscapeControlChars(list.GetPathName(name)) + QLatin1Char('\t')
           + EscapeControlChars(list.GetFullPath(name));
}

int ListProfiles(const TOptions &options, TCommandLineIo &io)
{
    TThunderbirdFiles files(FindThunderbirdFolder(options.Thunderbird));
    TProfileList list;
    if (!LoadProfiles(list, files)) {
        io.Err << Translate("No Thunderbird profiles found!") << " (" << files.TbProf << ")\n";
        return ExitFailed;
    }
    io.Out << QStringLiteral("  ") << Translate("Profile") << '\t' << Translate("Path") << '\t'
           << Translate("Folder") << '\n';
    for (int i = 0; i < list.Count(); ++i)
        io.Out << ProfileLine(list, i) << '\n';
    return ExitOk;
}

// Runs one step per folder; an error of one folder is reported and the next
// one goes on. Returns the exit code.
template <class Step>
int ForEachFolder(const TOptions &options, TCommandLineIo &io, Step step)
{
    int result = ExitOk;
    for (const QString &folder : options.Folders) {
        try {
            step(folder, QFileInfo(folder).absoluteFilePath());
        } catch (const foundation::ECancelled &) {
            io.Err << CancelledText() << '\n';
            return ExitCancelled;
        } catch (const std::exception &e) {
            io.Err << foundation::ErrorMessageOf(e) << '\n';
            result = ExitFailed;
        }
        io.Out << Qt::flush;
    }
    return result;
}

int Scan(const TOptions &options, TCommandLineIo &io)
{
    return ForEachFolder(options, io, [&](const QString &, const QString &path) {
        const TScanResult scan = ScanMailFolder(path, io.Monitor);
        io.Out << FolderHeading(path) << '\n' << FoundCountText(scan.DeletedCount()) << '\n';
    });
}

QJsonObject MailAsJson(const TDeletedMail &mail, const TMailSummary *summary)
{
    QJsonObject object;
    object.insert(QStringLiteral("number"), mail.Number);
    object.insert(QStringLiteral("offset"), mail.SeparatorOffset);
    object.insert(QStringLiteral("date"), summary && summary->Date.isValid()
                                              ? QJsonValue(summary->Date.toString(Qt::ISODate))
                                              : QJsonValue());
    object.insert(QStringLiteral("from"), summary ? summary->From : QString());
    object.insert(QStringLiteral("subject"), summary ? summary->Subject : QString());
    object.insert(QStringLiteral("size"), mail.Size);
    object.insert(QStringLiteral("status"), StatusValueText(mail.Status));
    return object;
}

// A JSON string literal of text.
QString JsonString(const QString &text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

// Prints the deleted mails of the folders as the scan finds them, so that
// memory does not grow with their number: a tab-separated table per folder,
// or one JSON document (an array, or with several folders an object that
// maps each folder to its array) with one mail object per line.
class TDeletedMailPrinter final : public IDeletedMailSink
{
public:
    TDeletedMailPrinter(const TOptions &options, QTextStream &out)
        : FJson(options.Json), FSeveral(options.Folders.size() > 1), FOut(out)
    {
    }

    void BeginFolder(const QString &folder, const QString &path)
    {
        FFolder = folder;
        FPath = path;
        FMailsOfFolder = 0;
        FFolderOpen = false;
    }
    void DeletedMail(const TDeletedMail &mail, const TMailSummary *summary) override
    {
        OpenFolder();
        if (FJson) {
            FOut << (FMailsOfFolder ? ",\n" : "\n") << Indent() << "    "
                 << QString::fromUtf8(QJsonDocument(MailAsJson(mail, summary)).toJson(QJsonDocument::Compact));
        } else {
            const QString date =
                summary && summary->Date.isValid() ? summary->Date.toString(Qt::ISODate) : QString();
            FOut << mail.Number << '\t' << date << '\t' << EscapeControlChars(summary ? summary->From : QString())
                 << '\t' << EscapeControlChars(summary ? summary->Subject : QString()) << '\t' << mail.Size
                 << '\n';
        }
        ++FMailsOfFolder;
    }
    // The folder was scanned to its end, or its scan failed after some of
    // its mails were printed: either way its part is closed.
    void EndFolder(bool scanned)
    {
        if (scanned)
            OpenFolder();
        if (!FFolderOpen)
            return;
        if (FJson)
            FOut << (FMailsOfFolder ? QStringLiteral("\n") + Indent() : QString()) << ']';
        FFolderOpen = false;
    }
    void Finish()
    {
        if (!FJson)
            return;
        if (!FSeveral && !FStarted)
            FOut << "[]";
        if (FSeveral)
            FOut << (FStarted ? "\n}" : "{}");
        FOut << '\n';
    }

private:
    QString Indent() const { return FSeveral ? QStringLiteral("    ") : QString(); }
    void OpenFolder()
    {
        if (FFolderOpen)
            return;
        if (FJson) {
            if (FSeveral)
                FOut << (FStarted ? ",\n" : "{\n") << "    " << JsonString(FFolder) << ": ";
            FOut << '[';
        } else {
            if (FSeveral)
                FOut << (FStarted ? QStringLiteral("\n") : QString()) << FolderHeading(FPath) << '\n';
            FOut << Translate("Number") << '\t' << Translate("Date") << '\t' << Translate("From") << '\t'
                 << Translate("Subject") << '\t' << Translate("Size") << '\n';
        }
        FStarted = true;
        FFolderOpen = true;
    }

    const bool FJson;
    const bool FSeveral;
    QTextStream &FOut;
    QString FFolder;
    QString FPath;
    qint64 FMailsOfFolder = 0;
    bool FFolderOpen = false;
    bool FStarted = false;
};

int ListDeleted(const TOptions &options, TCommandLineIo &io)
{
    TDeletedMailPrinter printer(options, io.Out);
    const int result = ForEachFolder(options, io, [&](const QString &folder, const QString &path) {
        printer.BeginFolder(folder, path);
        try {
            ScanMailFolder(path, printer, io.Monitor, TScanDetail::Summaries);
        } catch (...) {
            printer.EndFolder(false);
            throw;
        }
        printer.EndFolder(true);
    });
    printer.Finish();
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
    TMailSelection selection = TMailSelection::All();
    if (options.HasOnly) {
        QString error;
        const std::optional<TMailSelection> parsed = TMailSelection::Parse(options.Only, &error);
        if (!parsed) {
            io.Err << error << '\n';
            return ExitUsage;
        }
        selection = *parsed;
    }
    TTerminalPrompter prompter(io, options);
    for (const QString &folder : options.Folders) {
        const QString path = QFileInfo(folder).absoluteFilePath();
        try {
            const TRecoveryResult result = RecoverFolderFile(path, prompter, selection);
            switch (result.Outcome) {
            case TRecoveryOutcome::Recovered:
                io.Out << RecoveredMessageLine(path, result.Count) << '\n';
                break;
            case TRecoveryOutcome::NothingFound:
                io.Out << FolderHeading(path) << '\n' << FoundCountText(0) << '\n';
                break;
            case TRecoveryOutcome::Skipped:
                break;
            case TRecoveryOutcome::Cancelled:
                io.Err << CancelledText() << '\n';
                return ExitCancelled;
            case TRecoveryOutcome::ThunderbirdRuns:
                io.Err << ThunderbirdStillRunningText() << '\n';
                return ExitFailed;
            }
        } catch (const EMailSelectionError &e) {
            io.Err << e.Message() << '\n';
            return ExitUsage;
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
                     "  mailmend --list-deleted FOLDER... [--json]\n"
                     "                                           list the deleted mails: number, date, sender,\n"
                     "                                           subject and size, or as JSON\n"
                     "  mailmend --recover [--unread] [--yes] [--only LIST] FOLDER...\n"
                     "                                           recover the deleted mails; --unread marks them\n"
                     "                                           as unread, --yes answers every question with\n"
                     "                                           its first button, --only recovers only the\n"
                     "                                           mails of LIST (numbers of --list-deleted such\n"
                     "                                           as 2,5-7; one folder)\n"
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
        case TMode::ListDeleted:
            result = ListDeleted(options, io);
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

} // namespace mailmend
