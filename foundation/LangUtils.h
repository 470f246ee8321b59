#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QObject;

// Translation through GNU gettext message catalogues, found at
// <catalogue folder>/<code>/LC_MESSAGES/<domain>.mo, where the catalogue
// folder is CatalogueFolderOf the program folder InitProgram passes (until
// then, of the executable's folder).
//
// Domains: "default" holds the programs' own texts, "dialogs" the dialog
// library's texts, and the library domains registered at start-up (the runtime
// library's domain, then "units") the fixed texts of the shared library.
// Domain names are used in lower case: catalogue file names are looked up on
// case-sensitive file systems.

// Marks a text for extraction without translating it (xgettext keyword N_).
#define N_(text) text

namespace foundation {

inline constexpr char DefaultTextDomain[] = "default";
inline constexpr char DialogsTextDomain[] = "dialogs";
inline constexpr char UnitsTextDomain[] = "units";
// Message domain of the runtime library's own texts (framework file errors and
// the like).
inline constexpr char RuntimeTextDomain[] = "qtbase";

// Looks the text up in "default", then in the library domains in the order
// they were registered; the first catalogue with a translation gives it. An
// untranslated text comes back unchanged.
QString Translate(const char *text);
QString Translate(const QString &text);
// Looks the text up in one domain only.
QString TranslateIn(const char *domain, const char *text);
QString TranslateIn(const char *domain, const QString &text);

// While an object of this class lives, Translate and TranslateIn give their
// texts back untranslated on the thread that made it: for texts that scripts
// read (JSON reports) and that must not depend on the user's language.
class TSourceTextScope
{
public:
    TSourceTextScope();
    ~TSourceTextScope();
    TSourceTextScope(const TSourceTextScope &) = delete;
    TSourceTextScope &operator=(const TSourceTextScope &) = delete;

private:
    bool FPrevious;
};

// Translates, in place, the user-visible texts of the object and of all its
// descendants: the string properties text, title, windowTitle, toolTip,
// statusTip, whatsThis and placeholderText, and the column and row titles of
// item models. Object names, fonts and other properties are never touched.
void TranslateWindow(QObject *window, const char *domain);
// Objects of this class (or derived from it) and their children are skipped by
// TranslateWindow.
void IgnoreClassForTranslation(const char *className);

// Adds a domain in which library texts are looked up after "default".
void AddLibraryDomain(const char *domain);
void AddLibraryDomain(const QString &domain);
QStringList LibraryDomains();

// Activates the catalogues of the language (a lower-case ISO 639-1 code) for
// all domains. An empty code leaves the choice to gettext's own defaults: the
// user's LANGUAGE list as it was before the first call, else the locale.
void UseLanguage(const QString &code);

// The program folder whose catalogues are used (see CatalogueFolderOf);
// InitProgram sets it. Until then it is the executable's folder.
void SetCatalogueProgramFolder(const QString &programFolder);

// The catalogue folder of a program in programFolder (ending in a separator):
// programFolder + "locale" where it exists (the build folder, a portable
// copy), else programFolder + "../share/locale" where that exists (an
// installed program, wherever it was installed), else the first.
QString CatalogueFolderOf(const QString &programFolder);

// The language for this run: the command line's code, else the stored code
// (InitProgram passes the value of "LangID" in section "Language" of the
// start-up settings file), else SystemLanguageCode(). Returns a code of at
// most two lower-case letters, or empty.
QString ChooseLanguage(const QString &cmdCode, const QString &storedCode = QString());

// The user's interface language as a code of the system language table, or
// empty when the language is not in the table.
QString SystemLanguageCode();

// The locale variables UseLanguage may change (LANGUAGE for the language;
// LC_ALL and LC_MESSAGES when the user's locale is "C").
inline constexpr const char *UserLocaleVariables[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
// The value of one of them as the user set it, before the first UseLanguage
// changed the environment (empty when unset).
QByteArray UserLocaleVariable(const char *name);

// The system language table: a Windows primary language identifier (low 10
// bits of a language identifier) to its code; empty for other languages.
QString LanguageCodeFromPrimaryLanguage(unsigned primaryLanguage);
// A POSIX locale name ("de_DE.UTF-8@euro") mapped through the same table by its
// language part; empty for languages not in the table and for "C"/"POSIX".
QString LanguageCodeFromLocaleName(const QString &localeName);

// For tests only: forgets the registered library domains, the ignored classes,
// the catalogue bindings and the user's locale variables kept by UseLanguage
// (the program folder of the catalogues stays).
void ResetTranslationForTesting();

} // namespace foundation
