#include "foundation/InitProg.h"
#include "foundation/LangUtils.h"
#include "foundation/PathUtils.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <clocale>
#include <ostream>

using namespace foundation;

inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

// ---- Option names -----------------------------------------------------------

struct AbbreviationCase
{
    const char *text;
    const char *keyword;
    bool expected;
};

constexpr AbbreviationCase AbbreviationCases[] = {
    {"", "lang", true},          {"l", "lang", true},        {"LA", "lang", true},
    {"Lang", "lang", true},      {"langs", "lang", false},   {"lg", "lang", false},
    {"p", "portable", true},     {"PORTABLE", "portable", true}, {"portablex", "portable", false},
    {"i", "ini", true},          {"x", "ini", false},        {" l", "lang", false},
};

class IsAbbreviationTest : public ::testing::TestWithParam<AbbreviationCase>
{
};

TEST_P(IsAbbreviationTest, MatchesLeadingPartInAnyCase)
{
    const AbbreviationCase &c = GetParam();
    EXPECT_EQ(IsAbbreviation(QString::fromUtf8(c.text), QString::fromUtf8(c.keyword)), c.expected)
        << c.text << " / " << c.keyword;
}

INSTANTIATE_TEST_SUITE_P(Cases, IsAbbreviationTest, ::testing::ValuesIn(AbbreviationCases));

struct MatchCase
{
    const char *argument;
    const char *keyword;
    bool expected;
    const char *argumentAfter;
};

constexpr MatchCase MatchCases[] = {
    {"lang:de", "lang", true, "de"},
    {"L:de", "lang", true, "de"},
    {":de", "lang", true, "de"},
    {"ini:C:\\x\\y.ini", "ini", true, "C:\\x\\y.ini"}, // only the first ":" separates
    {"ini:", "ini", true, ""},
    {"lang", "lang", false, "lang"},                 // no ":"
    {"x:1", "lang", false, "x:1"},
    {"langx:de", "lang", false, "langx:de"},
};

class MatchOptionTest : public ::testing::TestWithParam<MatchCase>
{
};

TEST_P(MatchOptionTest, ReducesArgumentToValueOnMatch)
{
    const MatchCase &c = GetParam();
    QString argument = QString::fromUtf8(c.argument);
    EXPECT_EQ(MatchOption(argument, QString::fromUtf8(c.keyword)), c.expected) << c.argument;
    EXPECT_EQ(argument, QString::fromUtf8(c.argumentAfter));
}

INSTANTIATE_TEST_SUITE_P(Cases, MatchOptionTest, ::testing::ValuesIn(MatchCases));

// ---- Command line and settings location -------------------------------------

// Both path forms with the values InitProgram would have formed before reading
// the command line.
struct StyleSetup
{
    TPathStyle style;
    const char *programFolder;
    const char *currentFolder;
};

constexpr StyleSetup Windows{WindowsPathStyle, "C:\\Prog\\", "C:\\Work"};
constexpr StyleSetup Posix{PosixPathStyle, "/opt/prog/", "/work"};

struct CommandLineCase
{
    const char *name;
    const StyleSetup *setup;
    const char *configFile; // as formed from appFolder and configFileName
    const char *arguments[3];
    const char *expectedConfig;
    const char *expectedLanguage;
};

constexpr const char *WinMail = "C:\\Users\\u\\AppData\\Roaming\\mailmend.cfg";
constexpr const char *WinPack = "C:\\Users\\u\\AppData\\Roaming\\Vaultkeep6\\Vaultkeep.cfg";
constexpr const char *PosixMail = "/home/u/.config/mailmend.cfg";
constexpr const char *PosixPack = "/home/u/.config/Vaultkeep6/Vaultkeep.cfg";

constexpr CommandLineCase CommandLineCases[] = {
    {"WinNoArguments", &Windows, WinMail, {}, WinMail, ""},
    {"WinPortable", &Windows, WinMail, {"/portable"}, "C:\\Prog\\mailmend.cfg", ""},
    {"WinPortableKeepsConfigName", &Windows, WinPack, {"-P"}, "C:\\Prog\\Vaultkeep.cfg", ""},
    {"WinIniFileNameNotUsed", &Windows, WinMail, {"/ini:D:\\conf\\my.ini"}, "D:\\conf\\mailmend.cfg", ""},
    {"WinIniWithPortable", &Windows, WinMail, {"/portable", "/ini:D:\\conf\\my.ini"}, "D:\\conf\\my.cfg", ""},
    {"WinPortableAfterIniKeepsIt", &Windows, WinMail, {"/ini:D:\\conf\\my.ini", "/p"}, "D:\\conf\\my.cfg", ""},
    {"WinPortableRelativeSub", &Windows, WinMail, {"/portable", "/ini:sub\\my.ini"}, "C:\\Prog\\sub\\my.cfg", ""},
    {"WinPortableRelativeName", &Windows, WinMail, {"/portable", "/ini:my.ini"}, "C:\\Prog\\my.cfg", ""},
    {"WinIniFolderAsWritten", &Windows, WinMail, {"/ini:sub\\"}, "sub\\mailmend.cfg", ""},
    {"WinIniFolderAsWrittenPortable", &Windows, WinPack, {"/portable", "/ini:sub\\"}, "sub\\Vaultkeep.cfg", ""},
    {"WinIniRelativeWithFolder", &Windows, WinMail, {"/ini:sub\\my.ini"}, "C:\\Work\\sub\\mailmend.cfg", ""},
    {"WinIniBareNameKeepsFolder", &Windows, WinMail, {"/ini:my.ini"}, WinMail, ""},
    {"WinLoneSlashIsPortable", &Windows, WinMail, {"/"}, "C:\\Prog\\mailmend.cfg", ""},
    {"WinLoneDashIsPortable", &Windows, WinMail, {"-"}, "C:\\Prog\\mailmend.cfg", ""},
    {"WinUnknownOptionIgnored", &Windows, WinMail, {"/x:1", "portable"}, WinMail, ""},
    {"WinLangCut", &Windows, WinMail, {"/lang:german"}, WinMail, "ge"},
    {"WinLangEmptyName", &Windows, WinMail, {"/:de"}, WinMail, "de"},
    {"WinLangUpper", &Windows, WinMail, {"-LANG:de"}, WinMail, "de"},
    {"WinLangLaterWins", &Windows, WinMail, {"/La:de", "/l:fr"}, WinMail, "fr"},
    {"WinLongOptionNotClassic", &Windows, WinMail, {"--lang:de", "--portable"}, WinMail, ""},

    {"PosixNoArguments", &Posix, PosixMail, {}, PosixMail, ""},
    {"PosixPortable", &Posix, PosixMail, {"-portable"}, "/opt/prog/mailmend.cfg", ""},
    {"PosixSlashIsAPath", &Posix, PosixMail, {"/portable", "/lang:de"}, PosixMail, ""},
    {"PosixIniAbsolute", &Posix, PosixPack, {"-ini:/etc/conf/my.ini"}, "/etc/conf/Vaultkeep.cfg", ""},
    {"PosixIniAbsolutePortable", &Posix, PosixMail, {"-p", "-ini:/etc/conf/my.ini"}, "/etc/conf/my.cfg", ""},
    {"PosixPortableRelativeSub", &Posix, PosixMail, {"-portable", "-ini:sub/my.ini"}, "/opt/prog/sub/my.cfg", ""},
    {"PosixIniRelativeWithFolder", &Posix, PosixMail, {"-ini:sub/my.ini"}, "/work/sub/mailmend.cfg", ""},
    {"PosixIniFolderAsWritten", &Posix, PosixMail, {"-ini:sub/"}, "sub/mailmend.cfg", ""},
    {"PosixColonIsNoDrive", &Posix, PosixMail, {"-ini:D:my.ini"}, PosixMail, ""},
    {"PosixLoneDashIsPortable", &Posix, PosixMail, {"-"}, "/opt/prog/mailmend.cfg", ""},
    {"PosixLang", &Posix, PosixMail, {"-l:de_DE"}, PosixMail, "de"},
    {"PosixDoubleDashNotClassic", &Posix, PosixMail, {"--"}, PosixMail, ""},
};

class CommandLineTest : public ::testing::TestWithParam<CommandLineCase>
{
};

TEST_P(CommandLineTest, SettlesSettingsFileAndLanguage)
{
    const CommandLineCase &c = GetParam();
    const StyleSetup &setup = *c.setup;
    QStringList arguments{QStringLiteral("prog")};
    for (const char *argument : c.arguments) {
        if (argument)
            arguments.append(QString::fromUtf8(argument));
    }
    const auto noPlaceholders = [](const QString &text) { return text; };
    const StartupRules::TCommandLine commandLine = StartupRules::ReadCommandLine(
        arguments, setup.style, QString::fromUtf8(setup.programFolder), noPlaceholders);
    EXPECT_EQ(commandLine.languageCode, QString::fromUtf8(c.expectedLanguage));
    EXPECT_EQ(StartupRules::SettleConfigFile(QString::fromUtf8(c.configFile), commandLine,
                                             setup.style, QString::fromUtf8(setup.programFolder),
                                             QString::fromUtf8(setup.currentFolder)),
              QString::fromUtf8(c.expectedConfig));
}

INSTANTIATE_TEST_SUITE_P(Cases, CommandLineTest, ::testing::ValuesIn(CommandLineCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(CommandLineRulesTest, ProgramNameIsNeverAnOption)
{
    const StartupRules::TCommandLine commandLine = StartupRules::ReadCommandLine(
        {QStringLiteral("-portable")}, PosixPathStyle, QStringLiteral("/opt/prog/"),
        [](const QString &text) { return text; });
    EXPECT_FALSE(commandLine.portable);
    EXPECT_TRUE(commandLine.settings.isEmpty());
}

TEST(CommandLineRulesTest, IniValueHasItsPlaceholdersExpanded)
{
    const auto expand = [](const QString &text) {
        return QString(text).replace(QStringLiteral("%cfg%"), QStringLiteral("/etc/x"));
    };
    const StartupRules::TCommandLine commandLine = StartupRules::ReadCommandLine(
        {QStringLiteral("prog"), QStringLiteral("-ini:%cfg%/")}, PosixPathStyle,
        QStringLiteral("/opt/prog/"), expand);
    EXPECT_EQ(commandLine.settings, QStringLiteral("/etc/x/"));
}

TEST(CommandLineRulesTest, ClassicOptionsStartWithOneDashOrOnWindowsASlash)
{
    for (const TPathStyle &style : {PosixPathStyle, WindowsPathStyle}) {
        EXPECT_TRUE(StartupRules::IsClassicOption(QStringLiteral("-lang:de"), style));
        EXPECT_TRUE(StartupRules::IsClassicOption(QStringLiteral("-"), style));
        EXPECT_FALSE(StartupRules::IsClassicOption(QStringLiteral("--help"), style));
        EXPECT_FALSE(StartupRules::IsClassicOption(QStringLiteral("file.gz"), style));
        EXPECT_FALSE(StartupRules::IsClassicOption(QString(), style));
        EXPECT_EQ(StartupRules::IsClassicOption(QStringLiteral("/portable"), style), style.windows);
    }
    EXPECT_EQ(IsClassicOption(QStringLiteral("/ini:x")), NativePathStyle.windows);
    EXPECT_TRUE(IsClassicOption(QStringLiteral("-ini:x")));
    EXPECT_FALSE(IsClassicOption(QStringLiteral("--report")));
}

// ---- InitProgram on this system ------------------------------------------------

// Start-up values, the environment and the message locale are process-wide:
// every test starts from a known state and leaves the one it found.
class InitProgramTest : public TempDirTest
{
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        for (const char *name : SavedVariables)
            FSaved.append(qgetenv(name));
#ifdef LC_MESSAGES
        FMessageLocale = std::setlocale(LC_MESSAGES, nullptr);
#endif
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(path(QStringLiteral("config"))));
        qputenv("LANGUAGE", "");
        qputenv("LC_ALL", "");
        qputenv("LC_MESSAGES", "");
        qputenv("LANG", "C");
        ResetTranslationForTesting();
        ResetStartupValuesForTesting(path(QStringLiteral("bin/mailmend")));
    }

    void TearDown() override
    {
        for (qsizetype i = 0; i < FSaved.size(); ++i)
            qputenv(SavedVariables[i], FSaved[i]);
#ifdef LC_MESSAGES
        std::setlocale(LC_MESSAGES, FMessageLocale.constData());
#endif
        ResetTranslationForTesting();
        ResetStartupValuesForTesting();
    }

    QString configFolder() const { return path(QStringLiteral("config")) + PathDelim; }
    QString programFolder() const { return path(QStringLiteral("bin")) + PathDelim; }

private:
    static constexpr const char *SavedVariables[] = {"XDG_CONFIG_HOME", "LANGUAGE", "LC_ALL",
                                                     "LC_MESSAGES", "LANG"};
    QList<QByteArray> FSaved;
    QByteArray FMessageLocale;
};

TEST_F(InitProgramTest, ProgramFolderAndNameComeFromTheExecutable)
{
    EXPECT_EQ(ProgramFolder(), programFolder());
    EXPECT_EQ(ProgramName(), QStringLiteral("mailmend"));
    EXPECT_TRUE(ConfigFile().isEmpty());
    EXPECT_TRUE(AppSubFolder().isEmpty());
    EXPECT_TRUE(LanguageCode().isEmpty());

    ResetStartupValuesForTesting(path(QStringLiteral("bin/my.tool.exe")));
    EXPECT_EQ(ProgramName(), QStringLiteral("my.tool"));

    // The real executable: this test program.
    ResetStartupValuesForTesting();
    EXPECT_EQ(ProgramName(), QStringLiteral("foundation_InitProg_test"));
    EXPECT_TRUE(ProgramFolder().endsWith(PathDelim));
    EXPECT_TRUE(QFileInfo::exists(ProgramFolder() + ProgramName()));
}

TEST_F(InitProgramTest, DefaultSettingsFileLiesInRoamingFolder)
{
    InitProgram(QString(), QString(), {}, {QStringLiteral("mailmend")});
    EXPECT_EQ(ConfigFile(), configFolder() + QStringLiteral("mailmend.cfg"));
    EXPECT_TRUE(AppSubFolder().isEmpty());
    // Nothing is created at start-up.
    EXPECT_FALSE(QFileInfo::exists(configFolder()));
}

TEST_F(InitProgramTest, SubFolderAndOwnFileName)
{
    const QString sub = QStringLiteral("Vaultkeep6") + PathDelim;
    InitProgram(sub, QStringLiteral("Vaultkeep.cfg"), {}, {QStringLiteral("packprobe")});
    EXPECT_EQ(ConfigFile(), configFolder() + sub + QStringLiteral("Vaultkeep.cfg"));
    EXPECT_EQ(AppSubFolder(), sub);
}

TEST_F(InitProgramTest, AbsoluteAppFolderIsUsedAsGiven)
{
    const QString folder = path(QStringLiteral("elsewhere"));
    InitProgram(folder, QStringLiteral("x.cfg"), {}, {QStringLiteral("mailmend")});
    EXPECT_EQ(ConfigFile(), folder + PathDelim + QStringLiteral("x.cfg"));
    EXPECT_TRUE(AppSubFolder().isEmpty());
}

TEST_F(InitProgramTest, CommandLineExpandsProgramPathPlaceholder)
{
    InitProgram(QString(), QString(), {},
                {QStringLiteral("mailmend"), QStringLiteral("-ini:%PROGPATH%") + PathDelim});
    EXPECT_EQ(ConfigFile(), programFolder() + QStringLiteral("mailmend.cfg"));
}

TEST_F(InitProgramTest, PortableAndLanguageFromCommandLine)
{
    InitProgram(QString(), QString(), {},
                {QStringLiteral("mailmend"), QStringLiteral("-p"), QStringLiteral("-la:FR")});
    EXPECT_EQ(ConfigFile(), programFolder() + QStringLiteral("mailmend.cfg"));
    EXPECT_EQ(LanguageCode(), QStringLiteral("fr"));
}

TEST_F(InitProgramTest, RegistersLibraryDomainsInOrder)
{
    InitProgram(QString(), QString(), {QStringLiteral("qtbase"), QStringLiteral("units")},
                {QStringLiteral("mailmend")});
    EXPECT_EQ(LibraryDomains(), QStringList({"qtbase", "units"}));
}

TEST_F(InitProgramTest, UserAppFolderIsCreatedOnRequest)
{
    const QString sub = QStringLiteral("Vaultkeep6");
    EXPECT_EQ(GetUserAppFolder(sub, false), configFolder() + sub + PathDelim);
    EXPECT_FALSE(QFileInfo::exists(configFolder() + sub));
    EXPECT_EQ(GetUserAppFolder(sub, true), configFolder() + sub + PathDelim);
    EXPECT_TRUE(QFileInfo(configFolder() + sub).isDir());
    EXPECT_EQ(GetUserAppFolder(QString(), false), configFolder());
}

TEST_F(InitProgramTest, UserAppFolderFallsBackToProgramFolderWhenItCannotBeCreated)
{
    // A file where the folder should be.
    writeFile(QStringLiteral("config/Vaultkeep6"), "not a folder");
    EXPECT_EQ(GetUserAppFolder(QStringLiteral("Vaultkeep6"), true), programFolder());
}

TEST_F(InitProgramTest, UserFoldersUseAppSubFolder)
{
    const QString sub = QStringLiteral("Vaultkeep6") + PathDelim;
    InitProgram(sub, QStringLiteral("Vaultkeep.cfg"), {}, {QStringLiteral("packprobe")});
    QString appFolder;
    QString documentsFolder;
    GetUserFolders(appFolder, documentsFolder);
    EXPECT_EQ(appFolder, configFolder() + sub);
    EXPECT_TRUE(QFileInfo(appFolder).isDir());
    EXPECT_EQ(documentsFolder, AddBackslash(GetDocumentsFolder()));
}

} // namespace
