#include "foundation/PlaceHolders.h"

#include "foundation/PathUtils.h"
#include "support/TempDir.h"

#include <QCoreApplication>
#include <QDir>
#include <gtest/gtest.h>

#include <optional>

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

// Sets or unsets one environment variable and restores it afterwards.
class ScopedEnv
{
public:
    ScopedEnv(const char *name, std::optional<QString> value) : m_name(name)
    {
        if (qEnvironmentVariableIsSet(name))
            m_previous = qEnvironmentVariable(name);
        if (value)
            qputenv(name, value->toLocal8Bit());
        else
            qunsetenv(name);
    }
    ~ScopedEnv()
    {
        if (m_previous)
            qputenv(m_name, m_previous->toLocal8Bit());
        else
            qunsetenv(m_name);
    }
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    const char *m_name;
    std::optional<QString> m_previous;
};

class PlatformPlaceholderTest : public TempDirTest
{
};

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

#ifndef _WIN32
TEST_F(PlatformPlaceholderTest, UnsetPublicFolderGivesEmptyHere)
{
    ScopedEnv pub("PUBLIC", std::nullopt);
    EXPECT_EQ(ExpandPlaceholders(QStringLiteral("[%public%]")), QStringLiteral("[]"));
}
#endif

} // namespace
