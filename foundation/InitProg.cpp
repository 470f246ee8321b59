#include "foundation/InitProg.h"

#include "foundation/IniFile.h"
#include "foundation/LangUtils.h"
#include "foundation/PathUtils.h"
#include "foundation/PlaceHolders.h"

#include <QDir>
#include <QFileInfo>

namespace foundation {

namespace {

struct TStartupValues
{
    QString executablePath;
    QString appSubFolder;
    QString configFile;
    QString languageCode;
};

TStartupValues &Values()
{
    static TStartupValues values{RunningExecutablePath(), {}, {}, {}};
    return values;
}

// Last separator of a path; on Windows a drive's ":" ends the folder part too.
qsizetype FolderPartLength(const QString &path, const TPathStyle &style)
{
    qsizetype last = path.lastIndexOf(style.delim);
    if (style.windows)
        last = qMax(last, path.lastIndexOf(u':'));
    return last + 1;
}

QString FolderPart(const QString &path, const TPathStyle &style)
{
    return path.left(FolderPartLength(path, style));
}

QString FileNamePart(const QString &path, const TPathStyle &style)
{
    return path.mid(FolderPartLength(path, style));
}

// Absolute folder as InitProgram's appFolder: a root or (Windows) drive.
bool IsAbsoluteFolder(const QString &folder, const TPathStyle &style)
{
    if (folder.startsWith(style.delim))
        return true;
    return style.windows && folder.size() >= 2 && folder[1] == u':';
}

// Absolute -ini: path: a root, or (Windows) a ":" anywhere.
bool IsAbsoluteSettingsPath(const QString &path, const TPathStyle &style)
{
    return path.startsWith(style.delim) || (style.windows && path.contains(u':'));
}

QString CurrentFolder()
{
    return QDir::toNativeSeparators(QDir::currentPath());
}

// %progpath% is the folder of the program as start-up knows it.
QString ExpandStartupPlaceholders(const QString &text)
{
    return ExpandPlaceholders(text, [](const QString &placeholder) {
        return placeholder == QLatin1String("%progpath%") ? ProgramFolder()
                                                          : PlaceholderValue(placeholder);
    });
}

// The language stored in the start-up settings file.
QString StoredLanguage(const QString &configFile)
{
    if (configFile.isEmpty())
        return {};
    return TIniFile(configFile).ReadString(QStringLiteral("Language"), QStringLiteral("LangID"),
                                          QString());
}

} // namespace

namespace StartupRules {

bool IsClassicOption(const QString &argument, const TPathStyle &style)
{
    if (argument.isEmpty() || argument.startsWith(QLatin1String("--")))
        return false;
    return argument[0] == u'-' || (style.windows && argument[0] == u'/');
}

TCommandLine ReadCommandLine(const QStringList &arguments, const TPathStyle &style,
                             const QString &programFolder,
                             const std::function<QString(const QString &)> &expand)
{
    TCommandLine result;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (!IsClassicOption(arguments[i], style))
            continue;
        QString option = arguments[i].mid(1);
        if (MatchOption(option, QStringLiteral("lang"))) {
            result.languageCode = option.left(2);
        } else if (MatchOption(option, QStringLiteral("ini"))) {
            result.settings = expand(option);
        } else if (IsAbbreviation(option, QStringLiteral("portable"))) {
            result.portable = true;
            if (result.settings.isEmpty())
                result.settings = programFolder;
        }
    }
    return result;
}

QString SettleConfigFile(const QString &configFile, const TCommandLine &commandLine,
                         const TPathStyle &style, const QString &programFolder,
                         const QString &currentFolder)
{
    const QString &settings = commandLine.settings;
    if (settings.isEmpty())
        return configFile;
    if (settings.endsWith(style.delim))
        return settings + FileNamePart(configFile, style);

    // Only portable mode takes the file name from the command line.
    const QString name = commandLine.portable
        ? PathRules::ReplaceExtension(FileNamePart(settings, style), QStringLiteral("cfg"), style)
        : FileNamePart(configFile, style);
    QString folder;
    if (IsAbsoluteSettingsPath(settings, style))
        folder = FolderPart(settings, style);
    else if (commandLine.portable)
        folder = PathRules::AddBackslash(programFolder, style) + FolderPart(settings, style);
    else if (settings.contains(style.delim))
        folder = FolderPart(PathRules::AddBackslash(currentFolder, style) + settings, style);
    else
        folder = FolderPart(configFile, style);
    return PathRules::AddBackslash(folder, style) + name;
}

} // namespace StartupRules

void InitProgram(const QString &appFolder, const QString &configFileName,
                 const QStringList &textDomains, const QStringList &arguments)
{
    TStartupValues &values = Values();
    const QString fileName = configFileName.isEmpty() ? ProgramName() + QStringLiteral(".cfg")
                                                      : configFileName;
    QString folder;
    if (IsAbsoluteFolder(appFolder, NativePathStyle)) {
        folder = appFolder;
        values.appSubFolder.clear();
    } else {
        // Without a roaming folder the settings stay with the program rather
        // than landing in the root of the file system.
        QString roaming = GetAppDataFolder();
        if (roaming.isEmpty())
            roaming = ProgramFolder();
        folder = AddBackslash(roaming) + appFolder;
        values.appSubFolder = appFolder;
    }
    values.configFile = AddBackslash(folder) + fileName;

    SetCatalogueProgramFolder(ProgramFolder());
    for (const QString &domain : textDomains)
        AddLibraryDomain(domain);

    const StartupRules::TCommandLine commandLine = StartupRules::ReadCommandLine(
        arguments, NativePathStyle, ProgramFolder(),
        &ExpandStartupPlaceholders);
    values.configFile = StartupRules::SettleConfigFile(values.configFile, commandLine,
                                                       NativePathStyle, ProgramFolder(),
                                                       CurrentFolder());

    values.languageCode = ChooseLanguage(commandLine.languageCode, StoredLanguage(values.configFile));
    UseLanguage(values.languageCode);
}

QString ProgramFolder()
{
    const QString &executable = Values().executablePath;
    if (executable.isEmpty())
        return {};
    return AddBackslash(QDir::toNativeSeparators(QFileInfo(executable).absolutePath()));
}

QString ProgramName()
{
    return QFileInfo(Values().executablePath).completeBaseName();
}

QString AppSubFolder() { return Values().appSubFolder; }
QString ConfigFile() { return Values().configFile; }
QString LanguageCode() { return Values().languageCode; }

bool IsClassicOption(const QString &argument)
{
    return StartupRules::IsClassicOption(argument, NativePathStyle);
}

bool MatchOption(QString &argument, const QString &keyword)
{
    const qsizetype colon = argument.indexOf(u':');
    if (colon < 0 || !IsAbbreviation(argument.left(colon), keyword))
        return false;
    argument.remove(0, colon + 1);
    return true;
}

bool IsAbbreviation(const QString &text, const QString &keyword)
{
    const QString lower = text.toLower();
    return lower.size() <= keyword.size() && keyword.startsWith(lower, Qt::CaseSensitive);
}

QString GetUserAppFolder(const QString &subFolder, bool create)
{
    const QString roaming = GetAppDataFolder();
    if (roaming.isEmpty())
        return ProgramFolder();
    const QString folder = AddBackslash(AddBackslash(roaming) + subFolder);
    if (create && !QDir().mkpath(folder))
        return ProgramFolder();
    return folder;
}

void GetUserFolders(QString &appFolder, QString &documentsFolder)
{
    appFolder = GetUserAppFolder(AppSubFolder(), true);
    documentsFolder = AddBackslash(GetDocumentsFolder());
}

void ResetStartupValuesForTesting(const QString &executablePath)
{
    Values() = TStartupValues{executablePath.isEmpty() ? RunningExecutablePath() : executablePath,
                              {}, {}, {}};
    SetCatalogueProgramFolder(ProgramFolder());
}

} // namespace foundation
