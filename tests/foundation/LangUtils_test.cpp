// Gettext's state (bound domains, the language, its cache) and the locale are
// process-wide, so every translation test lives in this one program and the
// fixture resets that state around each test.
#include "foundation/InitProg.h"
#include "foundation/LangUtils.h"
#include "foundation/PathUtils.h"
#include "foundation/StringUtils.h"
#include "support/TempDir.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTreeWidget>
#include <QWidget>

#include <clocale>
#include <libintl.h>
#include <ostream>
#include <utility>

using namespace foundation;

inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

// ---- System language table ----------------------------------------------------

struct PrimaryLanguageCase
{
    unsigned languageId;
    const char *code;
};

constexpr PrimaryLanguageCase PrimaryLanguageCases[] = {
    {0x02, "bg"}, {0x05, "cs"}, {0x06, "da"}, {0x07, "de"}, {0x08, "el"}, {0x09, "en"},
    {0x0A, "es"}, {0x0B, "fi"}, {0x0C, "fr"}, {0x0E, "hu"}, {0x10, "it"}, {0x13, "nl"},
    {0x14, "no"}, {0x15, "pl"}, {0x16, "pt"}, {0x18, "ro"}, {0x19, "ru"}, {0x1A, "hr"},
    {0x1B, "sk"}, {0x1C, "sq"}, {0x1D, "sv"}, {0x1F, "tr"}, {0x22, "uk"}, {0x24, "sl"},
    {0x25, "et"}, {0x26, "lv"}, {0x27, "lt"},
    // Full language identifiers: only the low 10 bits count.
    {0x0407, "de"}, {0x0807, "de"}, {0x0409, "en"}, {0x081A, "hr"}, {0x0C0C, "fr"},
    // Not in the table.
    {0x00, ""}, {0x01, ""} /* Arabic */, {0x04, ""} /* Chinese */, {0x0D, ""} /* Hebrew */,
    {0x11, ""} /* Japanese */, {0x12, ""} /* Korean */, {0x0F, ""}, {0x1E, ""}, {0x3FF, ""},
};

class PrimaryLanguageTest : public ::testing::TestWithParam<PrimaryLanguageCase>
{
};

TEST_P(PrimaryLanguageTest, MapsToCode)
{
    EXPECT_EQ(LanguageCodeFromPrimaryLanguage(GetParam().languageId),
              QString::fromLatin1(GetParam().code))
        << std::hex << GetParam().languageId;
}

INSTANTIATE_TEST_SUITE_P(Table, PrimaryLanguageTest, ::testing::ValuesIn(PrimaryLanguageCases));

struct LocaleNameCase
{
    const char *localeName;
    const char *code;
};

constexpr LocaleNameCase LocaleNameCases[] = {
    {"de", "de"},          {"de_DE.UTF-8", "de"}, {"de_AT@euro", "de"}, {"DE_de", "de"},
    {"pt-BR", "pt"},       {"en_GB", "en"},       {"nb_NO.UTF-8", "no"}, {"nn", "no"},
    {"sr_RS@latin", "hr"}, {"bs_BA", "hr"},       {"C", ""},            {"POSIX", ""},
    {"C.UTF-8", ""},       {"zh_CN", ""},         {"ja", ""},           {"", ""},
    {"deu", ""},           {"_DE", ""},
};

class LocaleNameTest : public ::testing::TestWithParam<LocaleNameCase>
{
};

TEST_P(LocaleNameTest, MapsLanguagePartThroughTable)
{
    EXPECT_EQ(LanguageCodeFromLocaleName(QString::fromLatin1(GetParam().localeName)),
              QString::fromLatin1(GetParam().code))
        << GetParam().localeName;
}

INSTANTIATE_TEST_SUITE_P(Table, LocaleNameTest, ::testing::ValuesIn(LocaleNameCases));

// ---- Fixture: a known environment, locale and translation state ---------------

class TranslationTest : public TempDirTest
{
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        for (const char *name : SavedVariables)
            FSavedEnvironment.append(qgetenv(name));
        FSavedLocale = std::setlocale(LC_ALL, nullptr);
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(path(QStringLiteral("config"))));
        setEnvironment("", "", "C");
#ifdef LC_MESSAGES
        // As in a program started in the "C" locale, whatever this test
        // program was started with.
        std::setlocale(LC_MESSAGES, "C");
#endif
        ResetTranslationForTesting();
        ResetStartupValuesForTesting();
    }

    void TearDown() override
    {
        for (qsizetype i = 0; i < FSavedEnvironment.size(); ++i)
            qputenv(SavedVariables[i], FSavedEnvironment[i]);
        std::setlocale(LC_ALL, FSavedLocale.constData());
        textdomain(textdomain(nullptr)); // drops gettext's cached translations
        ResetTranslationForTesting();
        ResetStartupValuesForTesting();
    }

    static void setEnvironment(const char *language, const char *all, const char *lang)
    {
        qputenv("LANGUAGE", language);
        qputenv("LC_ALL", all);
        qputenv("LC_MESSAGES", "");
        qputenv("LANG", lang);
    }

    // The start-up of the programs with this test program's own name.
    static void startProgram(const QStringList &options = {})
    {
        InitProgram(QString(), QString(), {QString::fromLatin1(RuntimeTextDomain),
                                           QString::fromLatin1(UnitsTextDomain)},
                    QStringList{QStringLiteral("test")} + options);
    }

    QString configFile() const
    {
        return path(QStringLiteral("config/foundation_LangUtils_test.cfg"));
    }

    // Compiles a catalogue below folder/locale with msgfmt.
    void writeCatalogue(const QString &programFolder, const char *language, const char *domain,
                        const std::initializer_list<std::pair<const char *, const char *>> &texts)
    {
        const QString msgfmt = QStandardPaths::findExecutable(QStringLiteral("msgfmt"));
        ASSERT_FALSE(msgfmt.isEmpty()) << "msgfmt is needed to build test catalogues";
        QByteArray po = "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n";
        for (const auto &[id, text] : texts)
            po += QByteArray("\nmsgid \"") + id + "\"\nmsgstr \"" + text + "\"\n";
        const QString poFile = writeFile(QStringLiteral("%1-%2.po").arg(language, domain), po);
        const QString folder = QStringLiteral("%1/locale/%2/LC_MESSAGES").arg(programFolder, language);
        ASSERT_TRUE(QDir().mkpath(folder));
        const int exitCode = QProcess::execute(
            msgfmt, {QStringLiteral("-o"), folder + u'/' + domain + QStringLiteral(".mo"), poFile});
        ASSERT_EQ(exitCode, 0);
    }

private:
    static constexpr const char *SavedVariables[] = {"XDG_CONFIG_HOME", "LANGUAGE", "LC_ALL",
                                                     "LC_MESSAGES", "LANG"};
    QList<QByteArray> FSavedEnvironment;
    QByteArray FSavedLocale;
};

// ---- German library texts from the shipped catalogue ---------------------------
// The build puts the catalogues next to this program: bin/locale/de/LC_MESSAGES.

const char *const FormatError = "Format error: ";
const QString FrenchFormatError = QStringLiteral("Erreur de format\u00a0: ");
const char *const CannotOpen = "Cannot open file \"%s\". %s";

void ExpectGermanLibraryTexts()
{
    EXPECT_EQ(LanguageCode(), QStringLiteral("de"));
    EXPECT_EQ(Translate(FormatError), QStringLiteral("Formatfehler: "));
    EXPECT_EQ(Translate(QString::fromLatin1(CannotOpen)),
              QStringLiteral("Die Datei \"%s\" kann nicht ge\u00f6ffnet werden. %s"));
    EXPECT_EQ(Translate("Error setting timestamps of \"%s\""),
              QStringLiteral("Fehler beim Setzen der Zeitstempel von \"%s\""));
}

TEST_F(TranslationTest, ShippedCatalogueIsNextToTheProgram)
{
    EXPECT_TRUE(QFile::exists(ProgramFolder() + QStringLiteral("locale/de/LC_MESSAGES/units.mo")));
}

TEST_F(TranslationTest, EnglishWhenNothingChoosesALanguage)
{
    startProgram();
    EXPECT_EQ(LanguageCode(), QString());
    EXPECT_EQ(Translate(FormatError), QString::fromLatin1(FormatError));
}

TEST_F(TranslationTest, GermanFromSettingsFile)
{
    writeFile(QStringLiteral("config/foundation_LangUtils_test.cfg"), "[Language]\nLangID=de\n");
    startProgram();
    EXPECT_EQ(ConfigFile(), configFile());
    ExpectGermanLibraryTexts();
}

TEST_F(TranslationTest, GermanFromSettingsFileNamedOnCommandLine)
{
    writeFile(QStringLiteral("elsewhere/foundation_LangUtils_test.cfg"),
              "[language]\nlangid=Deutsch\n");
    startProgram({QStringLiteral("-ini:") + path(QStringLiteral("elsewhere")) + PathDelim});
    ExpectGermanLibraryTexts();
}

TEST_F(TranslationTest, GermanFromCommandLine)
{
    startProgram({QStringLiteral("-lang:de")});
    ExpectGermanLibraryTexts();
}

TEST_F(TranslationTest, GermanFromSystemLanguageInLang)
{
    setEnvironment("", "", "de_DE.UTF-8");
    startProgram();
    ExpectGermanLibraryTexts();
}

TEST_F(TranslationTest, GermanFromSystemLanguageInLanguageWhileLocaleIsC)
{
    setEnvironment("de_CH:fr", "C", "C");
    startProgram();
    ExpectGermanLibraryTexts();
}

TEST_F(TranslationTest, GermanSurvivesApplicationApplyingTheLocaleAgain)
{
    // The application object applies the environment's locale after start-up.
    setEnvironment("", "C", "C");
    startProgram({QStringLiteral("-lang:de")});
    std::setlocale(LC_ALL, "");
    ExpectGermanLibraryTexts();
}

// Whatever locale the user runs in, a chosen language shows; gettext itself
// ignores LANGUAGE while the message locale is "C".
struct UserLocaleCase
{
    const char *name;
    const char *all;
    const char *messages;
    const char *lang;
};

constexpr UserLocaleCase UserLocaleCases[] = {
    {"LangC", "", "", "C"},
    {"LangPosix", "", "", "POSIX"},
    {"NothingSet", "", "", ""},
    {"AllC", "C", "", "de_DE.UTF-8"},
    {"MessagesC", "", "C", "de_DE.UTF-8"},
    {"CUtf8", "", "", "C.UTF-8"},
    {"NotInstalled", "", "", "xx_YY.UTF-8"},
};

class UserLocaleTest : public TranslationTest,
                       public ::testing::WithParamInterface<UserLocaleCase>
{
};

TEST_P(UserLocaleTest, GermanFromCommandLineAfterTheApplicationAppliedTheLocale)
{
    const UserLocaleCase &c = GetParam();
    setEnvironment("", c.all, c.lang);
    qputenv("LC_MESSAGES", c.messages);
    std::setlocale(LC_ALL, "");
    startProgram({QStringLiteral("-lang:de")});
    ExpectGermanLibraryTexts();
    std::setlocale(LC_ALL, "");
    EXPECT_EQ(Translate(FormatError), QStringLiteral("Formatfehler: "));
}

INSTANTIATE_TEST_SUITE_P(Cases, UserLocaleTest, ::testing::ValuesIn(UserLocaleCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(TranslationTest, CommandLineOverridesSettingsFile)
{
    writeFile(QStringLiteral("config/foundation_LangUtils_test.cfg"), "[Language]\nLangID=de\n");
    startProgram({QStringLiteral("-lang:fr")});
    EXPECT_EQ(LanguageCode(), QStringLiteral("fr"));
    EXPECT_EQ(Translate(FormatError), FrenchFormatError);
}

// French typography (a no-break space before the colon and inside the
// guillemets) must leave the patterns usable by SafeFormat.
TEST_F(TranslationTest, FrenchLibraryTextsFormatTheirArguments)
{
    startProgram({QStringLiteral("-lang:fr")});
    EXPECT_EQ(SafeFormat(Translate(QString::fromLatin1(CannotOpen)), QStringLiteral("a.txt"),
                         QStringLiteral("Refus\u00e9.")),
              QStringLiteral("Impossible d\u2019ouvrir le fichier \u00ab\u00a0a.txt\u00a0\u00bb. "
                             "Refus\u00e9."));
    EXPECT_EQ(SafeFormat(Translate("File not found: \"%s\""), QStringLiteral("b")),
              QStringLiteral("Fichier introuvable\u00a0: \u00ab\u00a0b\u00a0\u00bb"));
}

TEST_F(TranslationTest, SettingsFileOverridesSystemLanguage)
{
    setEnvironment("de", "", "de_DE.UTF-8");
    writeFile(QStringLiteral("config/foundation_LangUtils_test.cfg"), "[Language]\nLangID=english\n");
    startProgram();
    EXPECT_EQ(LanguageCode(), QStringLiteral("en"));
    EXPECT_EQ(Translate(FormatError), QString::fromLatin1(FormatError));
}

TEST_F(TranslationTest, UnusableCodesAreIgnored)
{
    writeFile(QStringLiteral("config/foundation_LangUtils_test.cfg"), "[Language]\nLangID=./\n");
    startProgram({QStringLiteral("-lang:1")});
    EXPECT_EQ(LanguageCode(), QString());
    setEnvironment("", "", "C");
    EXPECT_EQ(ChooseLanguage(QStringLiteral("DE")), QStringLiteral("de"));
    EXPECT_EQ(ChooseLanguage(QStringLiteral("..")), QString());
}

TEST_F(TranslationTest, LanguageChangeDropsCachedTranslations)
{
    UseLanguage(QStringLiteral("de"));
    AddLibraryDomain(UnitsTextDomain);
    EXPECT_EQ(Translate(FormatError), QStringLiteral("Formatfehler: "));
    UseLanguage(QStringLiteral("fr"));
    EXPECT_EQ(Translate(FormatError), FrenchFormatError);
    UseLanguage(QStringLiteral("de"));
    EXPECT_EQ(Translate(FormatError), QStringLiteral("Formatfehler: "));
}

TEST_F(TranslationTest, EmptyCodeHandsTheChoiceBackToTheUsersLanguageList)
{
    setEnvironment("de_AT:fr", "", "C");
    AddLibraryDomain(UnitsTextDomain);
    UseLanguage(QStringLiteral("fr"));
    EXPECT_EQ(Translate(FormatError), FrenchFormatError);
    UseLanguage(QString());
    EXPECT_EQ(qgetenv("LANGUAGE"), QByteArray("de_AT:fr"));
    EXPECT_EQ(Translate(FormatError), QStringLiteral("Formatfehler: "));
}

TEST_F(TranslationTest, EmptyCodeWithoutAUserLanguageListLeavesTheLocaleToDecide)
{
    qunsetenv("LANGUAGE");
    AddLibraryDomain(UnitsTextDomain);
    UseLanguage(QStringLiteral("de"));
    EXPECT_EQ(Translate(FormatError), QStringLiteral("Formatfehler: "));
    UseLanguage(QString());
    EXPECT_FALSE(qEnvironmentVariableIsSet("LANGUAGE"));
    EXPECT_EQ(Translate(FormatError), QString::fromLatin1(FormatError));
}

TEST_F(TranslationTest, LanguageOutsideTheTableLeavesTheChoiceToGettext)
{
    // A Chinese user whose list names German next: the code is empty, and
    // gettext itself goes down the user's list.
    setEnvironment("zh_CN:de", "", "C");
    startProgram();
    EXPECT_EQ(LanguageCode(), QString());
    EXPECT_EQ(qgetenv("LANGUAGE"), QByteArray("zh_CN:de"));
    EXPECT_EQ(Translate(FormatError), QStringLiteral("Formatfehler: "));
}

TEST_F(TranslationTest, LibraryTextsNeedTheirDomainRegistered)
{
    UseLanguage(QStringLiteral("de"));
    EXPECT_EQ(Translate(FormatError), QString::fromLatin1(FormatError));
    EXPECT_EQ(TranslateIn(UnitsTextDomain, FormatError), QStringLiteral("Formatfehler: "));
    EXPECT_EQ(TranslateIn(DialogsTextDomain, FormatError), QString::fromLatin1(FormatError));
}

#ifdef __linux__
struct SystemLanguageCase
{
    const char *name;
    const char *language;
    const char *all;
    const char *messages;
    const char *lang;
    const char *code;
};

constexpr SystemLanguageCase SystemLanguageCases[] = {
    {"Lang", "", "", "", "de_DE.UTF-8", "de"},
    {"LanguageFirst", "fr_FR:de", "it_IT", "es_ES", "de_DE", "fr"},
    {"LanguageFirstEntryOnly", "zh_CN:de", "", "", "de_DE", ""},
    {"LanguageEmptyEntriesSkipped", "::de_AT:fr", "", "", "en_US", "de"},
    {"LanguageOnlySeparators", ":", "", "", "it_IT", "it"},
    {"AllBeforeMessages", "", "it_IT.UTF-8", "es_ES", "de_DE", "it"},
    {"MessagesBeforeLang", "", "", "es_ES", "de_DE", "es"},
    {"PlainC", "", "", "", "C", ""},
    {"NothingSet", "", "", "", "", ""},
    {"Norwegian", "", "", "", "nb_NO.UTF-8", "no"},
};

class SystemLanguageTest : public TranslationTest,
                           public ::testing::WithParamInterface<SystemLanguageCase>
{
};

TEST_P(SystemLanguageTest, FollowsGettextOrderOfVariables)
{
    const SystemLanguageCase &c = GetParam();
    setEnvironment(c.language, c.all, c.lang);
    qputenv("LC_MESSAGES", c.messages);
    EXPECT_EQ(SystemLanguageCode(), QString::fromLatin1(c.code));
}

TEST_F(TranslationTest, SystemLanguageStaysTheUsersAfterALanguageIsUsed)
{
    // UseLanguage sets LANGUAGE, and LC_MESSAGES when the user's locale is
    // not installed; neither is the user's language.
    setEnvironment("", "", "de_DE.UTF-8");
    UseLanguage(QStringLiteral("fr"));
    EXPECT_EQ(qgetenv("LANGUAGE"), QByteArray("fr"));
    EXPECT_EQ(SystemLanguageCode(), QStringLiteral("de"));
    EXPECT_EQ(ChooseLanguage(QString()), QStringLiteral("de"));
}

INSTANTIATE_TEST_SUITE_P(Cases, SystemLanguageTest, ::testing::ValuesIn(SystemLanguageCases),
                         [](const auto &info) { return std::string(info.param.name); });
#endif

// ---- Lookup order, with catalogues made for the test ------------------------------

class LookupOrderTest : public TranslationTest
{
protected:
    void SetUp() override
    {
        TranslationTest::SetUp();
        const QString bin = path(QStringLiteral("bin"));
        writeCatalogue(bin, "de", "default", {{"Shared", "aus default"}});
        writeCatalogue(bin, "de", "units",
                       {{"Shared", "aus units"}, {"UnitsOnly", "nur units"}, {"Size", "Gr\xC3\xB6\xC3\x9F""e"}});
        writeCatalogue(bin, "de", "extra", {{"UnitsOnly", "aus extra"}, {"ExtraOnly", "nur extra"}});
        writeCatalogue(bin, "de", "dialogs",
                       {{"&Open", "\xC3\x96&ffnen"}, {"Title", "Titel"}, {"Tip", "Hinweis"},
                        {"Type here", "Hier tippen"}, {"Name", "Bezeichnung"}, {"Group", "Gruppe"},
                        {"Inside", "Drinnen"}, {"Help", "Hilfe"}});
        ResetStartupValuesForTesting(bin + QStringLiteral("/prog"));
        UseLanguage(QStringLiteral("de"));
    }
};

TEST_F(LookupOrderTest, DefaultFirstThenLibraryDomainsInOrder)
{
    AddLibraryDomain(UnitsTextDomain);
    AddLibraryDomain("extra");
    EXPECT_EQ(Translate("Shared"), QStringLiteral("aus default"));
    EXPECT_EQ(Translate("UnitsOnly"), QStringLiteral("nur units"));
    EXPECT_EQ(Translate("ExtraOnly"), QStringLiteral("nur extra"));
    EXPECT_EQ(Translate("Size"), QStringLiteral("Gr\u00f6\u00dfe"));
    EXPECT_EQ(Translate("Unknown text"), QStringLiteral("Unknown text"));

    ResetTranslationForTesting();
    AddLibraryDomain("extra");
    AddLibraryDomain(QStringLiteral("units"));
    EXPECT_EQ(Translate(QStringLiteral("UnitsOnly")), QStringLiteral("aus extra"));
    EXPECT_EQ(LibraryDomains(), QStringList({"extra", "units"}));
}

TEST_F(LookupOrderTest, OneDomainOnly)
{
    EXPECT_EQ(TranslateIn("extra", "Shared"), QStringLiteral("Shared"));
    EXPECT_EQ(TranslateIn("extra", QStringLiteral("ExtraOnly")), QStringLiteral("nur extra"));
    EXPECT_EQ(TranslateIn(nullptr, "Shared"), QStringLiteral("aus default"));
}

TEST_F(LookupOrderTest, EmptyTextIsNotTheCatalogueHeader)
{
    AddLibraryDomain(UnitsTextDomain);
    EXPECT_EQ(Translate(""), QString());
    EXPECT_EQ(Translate(QString()), QString());
    EXPECT_EQ(TranslateIn(UnitsTextDomain, ""), QString());
}

TEST_F(LookupOrderTest, TextWithNulIsNotMistakenForItsFirstPart)
{
    const QString text = QStringLiteral("Shared") + QChar(0) + QStringLiteral("tail");
    EXPECT_EQ(Translate(text), text);
    EXPECT_EQ(TranslateIn(DefaultTextDomain, text), text);
}

// ---- Catalogues of an installed program ----------------------------------------
// Installed as <prefix>/bin/<program> with <prefix>/share/locale, wherever the
// prefix is; a locale folder beside the program comes first.

class InstalledLayoutTest : public TranslationTest
{
protected:
    void SetUp() override
    {
        TranslationTest::SetUp();
        writeCatalogue(path(QStringLiteral("prefix/share")), "de", "default",
                       {{"Shared", "installiert"}});
        ResetStartupValuesForTesting(path(QStringLiteral("prefix/bin/prog")));
        ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("prefix/bin"))));
    }
};

TEST_F(InstalledLayoutTest, ProgramFindsTheCataloguesInShareLocale)
{
    UseLanguage(QStringLiteral("de"));
    EXPECT_EQ(Translate("Shared"), QStringLiteral("installiert"));
}

TEST_F(InstalledLayoutTest, LocaleFolderBesideTheProgramComesFirst)
{
    writeCatalogue(path(QStringLiteral("prefix/bin")), "de", "default",
                   {{"Shared", "neben dem Programm"}});
    UseLanguage(QStringLiteral("de"));
    EXPECT_EQ(Translate("Shared"), QStringLiteral("neben dem Programm"));
}

TEST_F(InstalledLayoutTest, NoCataloguesLeaveTheTextsEnglish)
{
    ResetStartupValuesForTesting(path(QStringLiteral("elsewhere/bin/prog")));
    UseLanguage(QStringLiteral("de"));
    EXPECT_EQ(Translate("Shared"), QStringLiteral("Shared"));
}

// ---- Window translation --------------------------------------------------------

TEST_F(LookupOrderTest, TranslateWindowCoversTextPropertiesOfTheWholeTree)
{
    QWidget window;
    window.setWindowTitle(QStringLiteral("Title"));
    window.setFont(QFont(QStringLiteral("Title")));
    auto *button = new QPushButton(QStringLiteral("&Open"), &window);
    button->setObjectName(QStringLiteral("Title"));
    button->setToolTip(QStringLiteral("Tip"));
    button->setWhatsThis(QStringLiteral("Help"));
    auto *edit = new QLineEdit(&window);
    edit->setPlaceholderText(QStringLiteral("Type here"));
    auto *tree = new QTreeWidget(&window);
    tree->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Unknown")});
    auto *action = new QAction(QStringLiteral("&Open"), &window);
    action->setStatusTip(QStringLiteral("Tip"));
    auto *group = new QGroupBox(QStringLiteral("Group"), &window);
    auto *inside = new QLabel(QStringLiteral("Inside"), group);

    TranslateWindow(&window, DialogsTextDomain);

    EXPECT_EQ(window.windowTitle(), QStringLiteral("Titel"));
    EXPECT_EQ(window.font().family(), QStringLiteral("Title"));
    EXPECT_EQ(button->text(), QStringLiteral("\u00d6&ffnen"));
    EXPECT_EQ(button->objectName(), QStringLiteral("Title"));
    EXPECT_EQ(button->toolTip(), QStringLiteral("Hinweis"));
    EXPECT_EQ(button->whatsThis(), QStringLiteral("Hilfe"));
    EXPECT_EQ(edit->placeholderText(), QStringLiteral("Hier tippen"));
    EXPECT_EQ(tree->headerItem()->text(0), QStringLiteral("Bezeichnung"));
    EXPECT_EQ(tree->headerItem()->text(1), QStringLiteral("Unknown"));
    EXPECT_EQ(action->text(), QStringLiteral("\u00d6&ffnen"));
    EXPECT_EQ(action->statusTip(), QStringLiteral("Hinweis"));
    EXPECT_EQ(group->title(), QStringLiteral("Gruppe"));
    EXPECT_EQ(inside->text(), QStringLiteral("Drinnen"));
}

TEST_F(LookupOrderTest, TranslateWindowUsesOnlyTheGivenDomain)
{
    QWidget window;
    window.setWindowTitle(QStringLiteral("Title"));
    auto *label = new QLabel(QStringLiteral("Shared"), &window);
    TranslateWindow(&window, DefaultTextDomain);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Title"));
    EXPECT_EQ(label->text(), QStringLiteral("aus default"));
}

TEST_F(LookupOrderTest, IgnoredClassesAreSkippedWithTheirChildren)
{
    IgnoreClassForTranslation("QFont");
    IgnoreClassForTranslation("QAbstractButton");
    IgnoreClassForTranslation("QGroupBox");
    QWidget window;
    window.setWindowTitle(QStringLiteral("Title"));
    auto *button = new QPushButton(QStringLiteral("&Open"), &window);
    auto *group = new QGroupBox(QStringLiteral("Group"), &window);
    auto *inside = new QLabel(QStringLiteral("Inside"), group);
    auto *outside = new QLabel(QStringLiteral("Inside"), &window);

    TranslateWindow(&window, DialogsTextDomain);

    EXPECT_EQ(window.windowTitle(), QStringLiteral("Titel"));
    EXPECT_EQ(button->text(), QStringLiteral("&Open"));
    EXPECT_EQ(group->title(), QStringLiteral("Group"));
    EXPECT_EQ(inside->text(), QStringLiteral("Inside"));
    EXPECT_EQ(outside->text(), QStringLiteral("Drinnen"));
}

} // namespace
