#pragma once

#include "foundation/ExecutablePath.h"
#include "foundation/PathUtils.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace foundation {

// Program start-up: the program's folder and name, the start-up settings file
// (from the arguments of InitProgram and the command line), the library text
// domains and the user-interface language.
//
// Command line (classic options; "-" starts one on every system, "/" only on
// Windows, where absolute paths never begin with it):
//   -lang:CODE   language for this run (first two characters of CODE)
//   -ini:PATH    settings file or folder for this run (placeholders expanded)
//   -portable    settings file next to the program
// Option names may be abbreviated to any leading part, in any letter case.
// Arguments that begin with "--" are the programs' own long options; they are
// left to the program and never read as classic options.

// Called once by each program's entry point, before the application object
// exists. appFolder: folder of the settings file relative to the user's
// roaming application-data folder (or an absolute folder); configFileName:
// name of the settings file (empty: ProgramName + ".cfg"); textDomains: the
// message domains for library texts, in lookup order; arguments: the command
// line as the program received it, the program's own name first (argv, or
// QCoreApplication::arguments()).
void InitProgram(const QString &appFolder, const QString &configFileName,
                 const QStringList &textDomains, const QStringList &arguments);

// Start-up values. ProgramFolder (with a trailing separator) and ProgramName
// (file name of the executable without extension) are known before
// InitProgram runs; the others are empty until then.
QString ProgramFolder();
QString ProgramName();
QString AppSubFolder();
QString ConfigFile();
QString LanguageCode();

// True when argument has the form name:value and name abbreviates keyword;
// the argument is then reduced to its value.
bool MatchOption(QString &argument, const QString &keyword);
// True when text, in lower case, equals the first characters of keyword
// (keyword given in lower case). An empty text always matches.
bool IsAbbreviation(const QString &text, const QString &keyword);

// True when the argument starts a classic option on this system ("-", and on
// Windows "/", but not "--"): the programs leave such arguments to InitProgram.
bool IsClassicOption(const QString &argument);

// Exit status of both programs for bad usage of the command line.
inline constexpr int ExitUsage = 2;

// The user's roaming application-data folder with subFolder appended (with a
// trailing separator); ProgramFolder when that folder is unknown or, with
// create set, cannot be created.
QString GetUserAppFolder(const QString &subFolder, bool create);
// appFolder := GetUserAppFolder(AppSubFolder(), true); documentsFolder := the
// user's documents folder with a trailing separator.
void GetUserFolders(QString &appFolder, QString &documentsFolder);

// The rules of the command line and of the settings location, written once for
// both path forms so that each can be tested on every platform. With the
// Windows style, "/" starts an option as well as "-", and a path is absolute
// when it starts with "\" or holds a ":".
namespace StartupRules {
struct TCommandLine
{
    QString languageCode; // first two characters of the last -lang: value
    QString settings;     // last -ini: value, placeholders expanded
    bool portable = false;
};

// Reads the classic options of arguments (the first one, the program's name,
// is skipped). expand replaces the placeholders of an -ini: value.
TCommandLine ReadCommandLine(const QStringList &arguments, const TPathStyle &style,
                             const QString &programFolder,
                             const std::function<QString(const QString &)> &expand);
// The settings file for this run: configFile as InitProgram formed it,
// changed by the -ini: and -portable options. currentFolder resolves a
// relative -ini: path.
QString SettleConfigFile(const QString &configFile, const TCommandLine &commandLine,
                         const TPathStyle &style, const QString &programFolder,
                         const QString &currentFolder);
// True when the argument starts a classic option.
bool IsClassicOption(const QString &argument, const TPathStyle &style);
} // namespace StartupRules

// For tests only: forgets every start-up value and takes executablePath as the
// running program's file (empty: the real executable).
void ResetStartupValuesForTesting(const QString &executablePath = QString());

} // namespace foundation
