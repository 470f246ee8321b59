#include "foundation/WinApiUtils.h"

#include "support/TempDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

using namespace foundation;

namespace {

// ---------------------------------------------------------------------------
// Version texts

struct VersionTextCase
{
    const char *version;
    int level;
    const char *expected;
};

constexpr VersionTextCase VersionTextCases[] = {
    {"1.1.1.0", 4, "Version 1.1.1.0"},
    {"1.1.1.0", 3, "Version 1.1.1"},
    {"1.1.1.0", 2, "Version 1.1"},
    {"1.1.1.0", 1, "Version 1"},
    {"1.1.1.0", 0, "Version 1"},
    {"1.1.1.0", 9, "Version 1.1.1.0"},
    {"2.0", 4, "Version 2.0"},
    {"2.0", 3, "Version 2"},
    {"2.0", 2, "Version 2"},
    {"2.0", 1, "Version 2"},
    {"7", 3, "Version 7"},
    {"", 3, "Version "},
    // A fallback text that starts with a blank keeps it: two blanks follow the word.
    {" - Vers. 1.1", 4, "Version  - Vers. 1.1"},
};

class VersionTextTest : public ::testing::TestWithParam<VersionTextCase>
{
};

TEST_P(VersionTextTest, CutsToLevel)
{
    const VersionTextCase c = GetParam();
    EXPECT_EQ(VersionText(QString::fromLatin1(c.version), c.level), QString::fromLatin1(c.expected));
}

INSTANTIATE_TEST_SUITE_P(Levels, VersionTextTest, ::testing::ValuesIn(VersionTextCases));

// ---------------------------------------------------------------------------
// Version information

TEST(VersionInfo, RunningProgramHasTheBuildVersion)
{
    EXPECT_FALSE(IsNT4OrLater());
    EXPECT_FALSE(IsNT5OrLater());

    TFileVersionInfo info;
    info.Comments = QStringLiteral("stale");
    ASSERT_TRUE(ReadFileVersionInfo(QCoreApplication::applicationFilePath(), info));
    EXPECT_EQ(info.Version, QStringLiteral("%1.%2.%3.0")
                                .arg(MP_VERSION_MAJOR)
                                .arg(MP_VERSION_MINOR)
                                .arg(MP_VERSION_PATCH));
    EXPECT_TRUE(info.Version.startsWith(QStringLiteral(MP_VERSION)));
    EXPECT_EQ(info.Description, QStringLiteral(MP_DESCRIPTION));
    EXPECT_EQ(info.Copyright, QStringLiteral(MP_COPYRIGHT));
    EXPECT_TRUE(info.Company.isEmpty());
    EXPECT_TRUE(info.InternalName.isEmpty());
    EXPECT_TRUE(info.Comments.isEmpty());
}

TEST(VersionInfo, OtherFilesHaveNone)
{
    TFileVersionInfo info;
    info.Version = QStringLiteral("untouched");
    EXPECT_FALSE(ReadFileVersionInfo(QStringLiteral("/bin/sh"), info));
    EXPECT_FALSE(ReadFileVersionInfo(QStringLiteral("/no/such/file"), info));
    EXPECT_FALSE(ReadFileVersionInfo(QString(), info));
    EXPECT_EQ(info.Version, QStringLiteral("untouched"));
}

TEST(VersionInfo, ProgramVersionRecordTitleAndDate)
{
    QString title, dateText;
    GetProgramVersion(QStringLiteral("Mailmend"), QStringLiteral(" - Vers. 1.1"),
                      QStringLiteral("fallback copyright"), 3, title, dateText);
    const QString versionText = QStringLiteral("Version %1.%2.%3")
                                    .arg(MP_VERSION_MAJOR)
                                    .arg(MP_VERSION_MINOR)
                                    .arg(MP_VERSION_PATCH);
    EXPECT_EQ(title, QStringLiteral("Mailmend (") + versionText + QLatin1Char(')'));
    const TFileVersionInfo &record = ProgramVersionInfo();
    EXPECT_EQ(record.InternalName, QStringLiteral("Mailmend"));
    EXPECT_EQ(record.Comments, versionText);
    EXPECT_EQ(record.Copyright, QStringLiteral(MP_COPYRIGHT));
    const QDate built = QFileInfo(QCoreApplication::applicationFilePath()).lastModified().date();
    EXPECT_EQ(dateText, QLocale().toString(built, QLocale::ShortFormat));
    EXPECT_FALSE(dateText.isEmpty());
}

// ---------------------------------------------------------------------------
// Running programs, on a fake process tree
#if defined(Q_OS_LINUX)

class ProcessTreeTest : public TempDirTest
{
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        addProcess("101", "thunderbird\n", "/usr/lib/thunderbird/thunderbird");
        // Run by a loader: only the command name tells the program.
        addProcess("202", "THUNDERBIRD.EXE\n", "/usr/lib/wine/wine64-preloader");
        addProcess("303", "Thunderbird.exe\n", "/opt/Thunderbird.exe.bak"); // comm cut to 15 bytes
        addProcess("404", "averylongprogra\n", "/usr/bin/averylongprogramname");
        addProcess("505", "updated\n", "/usr/lib/thunderbird/thunderbird-bin (deleted)");
        addProcess("606", "kthreadd\n", nullptr); // kernel thread: no executable
        addProcess("self", "ghost\n", "/usr/bin/ghost"); // not a process number
        writeFile("707/status", "a process whose files vanished");
    }

    void addProcess(const char *pid, const char *comm, const char *exe)
    {
        const QString folder = path(QString::fromLatin1(pid));
        writeFile(QString::fromLatin1(pid) + QStringLiteral("/comm"), comm);
        if (exe) {
            ASSERT_TRUE(QFile::link(QString::fromUtf8(exe), folder + QStringLiteral("/exe")));
        }
    }
};

struct RunningCase
{
    const char *exeName;
    bool fullPath;
    bool running;
};

constexpr RunningCase RunningCases[] = {
    {"Thunderbird.exe", false, true}, // process THUNDERBIRD.EXE
    {"thunderbird.EXE", false, true},
    {"thunderbird", false, true},
    {"Thunderbird.exe.bak", false, true}, // by the executable's base name
    {"wine64-preloader", false, true},
    {"Thunderbird", false, true},         // process 101, any case
    {"Thunderbird.ex", false, false},     // whole names only
    {"bird", false, false},
    {"lib/thunderbird", false, false}, // a name with a folder never matches by name
    {"averylongprogramname", false, true},
    {"thunderbird-bin", false, true}, // replaced while running
    {"kthreadd", false, true},
    {"ghost", false, false},
    {"", false, false},
    {"/usr/lib/thunderbird/thunderbird", true, true},
    {"/USR/LIB/THUNDERBIRD/THUNDERBIRD", true, true},
    {"/usr/lib/thunderbird/thunderbird-bin", true, true},
    {"thunderbird", true, false}, // full-path mode compares full paths
    {"/usr/bin/ghost", true, false},
    {"", true, false},
};

class RunningProgramTest : public ProcessTreeTest, public ::testing::WithParamInterface<RunningCase>
{
};

TEST_P(RunningProgramTest, MatchesWholeNameIgnoringCase)
{
    const RunningCase c = GetParam();
    EXPECT_EQ(IsProgramRunningIn(dir(), QString::fromLatin1(c.exeName), c.fullPath), c.running)
        << c.exeName << (c.fullPath ? " (full path)" : "");
}

INSTANTIATE_TEST_SUITE_P(Names, RunningProgramTest, ::testing::ValuesIn(RunningCases));

TEST_F(ProcessTreeTest, ImagePaths)
{
    EXPECT_EQ(GetProcessImagePathIn(dir(), 101), QStringLiteral("/usr/lib/thunderbird/thunderbird"));
    EXPECT_EQ(GetProcessImagePathIn(dir(), 505), QStringLiteral("/usr/lib/thunderbird/thunderbird-bin"));
    EXPECT_TRUE(GetProcessImagePathIn(dir(), 606).isEmpty());
    EXPECT_TRUE(GetProcessImagePathIn(dir(), 0).isEmpty());
    EXPECT_TRUE(GetProcessImagePathIn(dir(), 999).isEmpty());
    EXPECT_FALSE(IsProgramRunningIn(path("missing-root"), QStringLiteral("thunderbird"), false));
}

TEST_F(TempDirTest, OnlySimilarNamesDoNotCount)
{
    // Processes "Thunderbird.exe.bak" (command name cut to "Thunderbird.exe")
    // and "Thunderbird" are not "Thunderbird.exe".
    writeFile("11/comm", "Thunderbird.exe\n");
    ASSERT_TRUE(QFile::link(QStringLiteral("/opt/tb/Thunderbird.exe.bak"), path("11/exe")));
    writeFile("12/comm", "Thunderbird\n");
    ASSERT_TRUE(QFile::link(QStringLiteral("/opt/tb/Thunderbird"), path("12/exe")));
    EXPECT_FALSE(IsProgramRunningIn(dir(), QStringLiteral("Thunderbird.exe"), false));
    EXPECT_TRUE(IsProgramRunningIn(dir(), QStringLiteral("thunderbird.exe.bak"), false));

    // Another user's process: only the command name can be read.
    writeFile("13/comm", "THUNDERBIRD.EXE\n");
    EXPECT_TRUE(IsProgramRunningIn(dir(), QStringLiteral("Thunderbird.exe"), false));
}
#endif

TEST(RunningProgram, SeesThisProcessInTheRealProcessList)
{
    const QString self = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
    ASSERT_FALSE(self.isEmpty());
    EXPECT_EQ(GetProcessImagePath(QCoreApplication::applicationPid()), self);
    // The name is longer than a command name may be: found by the executable.
    EXPECT_TRUE(IsProgramRunning(QFileInfo(self).fileName(), false));
    EXPECT_TRUE(IsProgramRunning(self.toUpper(), true));
    EXPECT_FALSE(IsProgramRunning(QStringLiteral("no-such-program-0f3a"), false));
    EXPECT_TRUE(GetProcessImagePath(0).isEmpty());
}

} // namespace
