#include "foundation/PlaceHolders.h"

#include "foundation/PathUtils.h"
#include "support/TempDir.h"
#include "support/ScopedEnv.h"

#include <QCoreApplication>
#include <QDir>
#include <gtest/gtest.h>

#include <optional>

using namespace foundation;

void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

// A lookup that answers "<name>" (or a value set per placeholder) and records
// what it was asked.
class RecordingLookup
{
public:
    QString operator()(const QString &placeholder)
    {
        asked << placeholder;
        return values.value(placeholder, u'<' + placeholder.mid(1, placeholder.size() - 2) + u'>');
    }
    TPlaceholderLookup function()
    {
        return [this](const QString &placeholder) { return (*this)(placeholder); };
    }

    QHash<QString, QString> values;
    QStringList asked;
};

struct TExpandCase
{
    const char *text;
    const char *expected;
};

class ExpandTest : public ::testing::TestWithParam<TExpandCase>
{
};

TEST_P(ExpandTest, ReplacesKnownPlaceholdersOnly)
{
    RecordingLookup lookup;
    EXPECT_EQ(ExpandPlaceholders(QString::fromUtf8(GetParam().text), lookup.function()),
              QString::fromUtf8(GetParam().expected));
}

constexpr TExpandCase ExpandCases[] = {
    {"", ""},
    {"no placeholders", "no placeholders"},
    {"%appdata%\\x", "<appdata>\\x"},
    {"%AppData%%APPDATA%", "<appdata><appdata>"},
    {"%windir%\\x", "%windir%\\x"},
    {"50%%appdata%", "50%<appdata>"},
    {"%x%appdata%", "%x<appdata>"},
    {"%appdata", "%appdata"},
    {"%%", "%%"},
    {"%", "%"},
    {"%programfiles(x86)%|%programfiles%", "<programfiles(x86)>|<programfiles>"},
    {"%username%@%computername%", "<username>@<computername>"},
    {"%profile%/%userprofile%", "<profile>/<userprofile>"},
};
INSTANTIATE_TEST_SUITE_P(Cases, ExpandTest, ::testing::ValuesIn(ExpandCases));

TEST(ExpandPlaceholders, UserAndComputerAreRemoved)
{
    EXPECT_EQ(ExpandPlaceholders(QStringLiteral("%user%\\x")), QStringLiteral("\\x"));
    EXPECT_EQ(ExpandPlaceholders(QStringLiteral("a%COMPUTER%b")), QStringLiteral("ab"));
}

TEST(ExpandPlaceholders, EveryNameOfTheTableIsKnownInAnyCase)
{
    ASSERT_FALSE(PlaceholderNames().isEmpty());
    for (const QString &name : PlaceholderNames()) {
        RecordingLookup lookup;
        lookup.values[name] = QStringLiteral("V");
        EXPECT_EQ(ExpandPlaceholders(name.toUpper(), lookup.function()), QStringLiteral("V"))
            << name.toStdString();
        EXPECT_EQ(lookup.asked, QStringList{name});
    }
}

TEST(ExpandPlaceholders, LooksUpOnlyWhatOccursAndEachOnce)
{
    RecordingLookup lookup;
    ExpandPlaceholders(QStringLiteral("%APPDATA%/a/%appdata%/%desktop%/%windir%"),
                       lookup.function());
    EXPECT_EQ(lookup.asked, (QStringList{QStringLiteral("%appdata%"), QStringLiteral("%desktop%")}));

    lookup.asked.clear();
    ExpandPlaceholders(QStringLiteral("plain"), lookup.function());
    EXPECT_TRUE(lookup.asked.isEmpty());
}

TEST(ExpandPlaceholders, FolderValuesLoseOneTrailingSeparator)
{
    RecordingLookup lookup;
    const QString folder = QStringLiteral("base") + PathDelim;
    lookup.values[QStringLiteral("%appdata%")] = folder;
    lookup.values[QStringLiteral("%username%")] = folder;
    EXPECT_EQ(ExpandPlaceholders(QStringLiteral("%appdata%|%username%"), lookup.function()),
              QStringLiteral("base|") + folder);
}

TEST(ExpandPlaceholders, InsertedValuesAreNotExpandedAgain)
{
    RecordingLookup lookup;
    lookup.values[QStringLiteral("%appdata%")] = QStringLiteral("/odd/%desktop%");
    EXPECT_EQ(ExpandPlaceholders(QStringLiteral("%appdata%/x"), lookup.function()),
              QStringLiteral("/odd/%desktop%/x"));
    EXPECT_EQ(lookup.asked, QStringList{QStringLiteral("%appdata%")});
}

TEST(ExpandPlaceholders, EmptyValueRemovesThePlaceholder)
{
    RecordingLookup lookup;
    lookup.values[QStringLiteral("%favorites%")] = QString();
    EXPECT_EQ(ExpandPlaceholders(QStringLiteral("[%favorites%]"), lookup.function()),
              QStringLiteral("[]"));
}

TEST(PlaceholderValue, UnknownNameGivesEmpty)
{
    EXPECT_EQ(PlaceholderValue(QStringLiteral("%windir%")), QString());
    EXPECT_EQ(PlaceholderValue(QStringLiteral("appdata")), QString());
}

TEST(PlatformPlaceholders, ProgramPathIsTheProgramsFolder)
{
    const QString folder = QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
    EXPECT_EQ(ExpandPlaceholders(QStringLiteral("%PROGPATH%") + PathDelim + QStringLiteral("settings")),
              folder + PathDelim + QStringLiteral("settings"));
    EXPECT_EQ(PlaceholderValue(QStringLiteral("%progpath%")), folder);
}

class PlatformPlaceholderTest : public TempDirTest
{
};

#ifndef _WIN32
TEST_F(PlatformPlaceholderTest, FoldersComeFromThePathHelpers)
{
    ScopedEnv config("XDG_CONFIG_HOME", path("cfg") + u'/');
    ScopedEnv data("XDG_DATA_HOME", path("data"));
    ScopedEnv programs("ProgramW6432", path("progs") + PathDelim);
    EXPECT_EQ(ExpandPlaceholders(QStringLiteral("%appdata%/a.cfg")), path("cfg/a.cfg"));
    EXPECT_EQ(ExpandPlaceholders(QStringLiteral("%apppath%")), GetAppDataFolder());
    EXPECT_EQ(ExpandPlaceholders(QStringLiteral("%localappdata%")), path("data"));
    EXPECT_EQ(ExpandPlaceholders(QStringLiteral("%programfiles%")), path("progs"));
    EXPECT_EQ(ExpandPlaceholders(QStringLiteral("%perspath%")), GetDocumentsFolder());
    EXPECT_EQ(ExpandPlaceholders(QStringLiteral("%username%")), CurrentUserName());
}

TEST_F(PlatformPlaceholderTest, UnsetPublicFolderGivesEmptyHere)
{
    ScopedEnv pub("PUBLIC", std::nullopt);
    EXPECT_EQ(ExpandPlaceholders(QStringLiteral("[%public%]")), QStringLiteral("[]"));
}
#endif

#ifdef Q_OS_LINUX
// Every folder placeholder against the source it stands for. Each source gets
// a folder of its own, so a placeholder that reads the wrong one shows.
struct TSourceCase
{
    const char *placeholder;
    const char *folder; // below the test folder ("" = the test folder); nullptr = nothing
};

void PrintTo(const TSourceCase &c, std::ostream *os)
{
    *os << c.placeholder;
}

class PlaceholderSourceTest : public TempDirTest, public ::testing::WithParamInterface<TSourceCase>
{
};

TEST_P(PlaceholderSourceTest, ReadsItsOwnSource)
{
    const auto slash = [this](const char *name) { return path(QString::fromUtf8(name)) + u'/'; };
    ScopedEnv home("HOME", dir());
    ScopedEnv config("XDG_CONFIG_HOME", slash("cfg"));
    ScopedEnv data("XDG_DATA_HOME", slash("data"));
    ScopedEnv programs32("ProgramFiles(x86)", slash("pf32"));
    ScopedEnv common32("CommonProgramFiles(x86)", slash("cf32"));
    ScopedEnv programs64("ProgramW6432", slash("pf64"));
    ScopedEnv common64("CommonProgramW6432", slash("cf64"));
    ScopedEnv allUsers("ALLUSERSPROFILE", slash("all"));
    ScopedEnv pub("PUBLIC", slash("public"));

    const TSourceCase &c = GetParam();
    const QString value = !c.folder ? QString() : *c.folder ? path(QString::fromUtf8(c.folder)) : dir();
    EXPECT_EQ(ExpandPlaceholders(u'[' + QString::fromUtf8(c.placeholder) + u']'),
              u'[' + value + u']');
}

constexpr TSourceCase SourceCases[] = {
    {"%perspath%", "Documents"},
    {"%apppath%", "cfg"},
    {"%profile%", ""},
    {"%desktop%", "Desktop"},
    {"%favorites%", nullptr},
    {"%progfiles%", nullptr}, // no variable, and no programs folder here
    {"%appdata%", "cfg"},
    {"%localappdata%", "data"},
    {"%allusersprofile%", "all"},
    {"%public%", "public"},
    {"%programfiles%", "pf64"},
    {"%commonprogramfiles%", "cf64"},
    {"%programfiles(x86)%", "pf32"},
    {"%commonprogramfiles(x86)%", "cf32"},
    {"%programdata%", "all"},
    {"%userprofile%", ""},
};
INSTANTIATE_TEST_SUITE_P(Table, PlaceholderSourceTest, ::testing::ValuesIn(SourceCases));
#endif // Q_OS_LINUX

} // namespace
