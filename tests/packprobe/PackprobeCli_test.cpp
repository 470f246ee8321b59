#include "packprobe/core/PackprobeCli.h"

#include "GzTestFiles.h"
#include "foundation/FileUtils.h"
#include "support/ProgramRun.h"
#include "support/TempDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <QElapsedTimer>

#include <cerrno>

#ifdef Q_OS_LINUX
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#endif

using namespace foundation;
using namespace packprobe;

using namespace GzTest;

namespace {

struct ParseCase
{
    const char *label;
    const char *arguments; // separated by '|'
    bool ok;
    bool report;
    bool json;
    bool passwordStdin;
    const char *file;
    const char *save;
    bool force = false;
};

constexpr ParseCase ParseCases[] = {
    {"Nothing", "", true, false, false, false, "", ""},
    {"FileForTheWindow", "a.gz", true, false, false, false, "a.gz", ""},
    {"Report", "--report|a.gz", true, true, false, false, "a.gz", ""},
    {"ReportEquals", "--report=a.gz|--json", true, true, true, false, "a.gz", ""},
    {"AllOptions", "--json|--password-stdin|--report|a.gz|--save|out.bin", true, true, true, true,
     "a.gz", "out.bin"},
    {"ClassicOptionsSkipped", "-lang:de|-portable|--report|a.gz|-ini:x.cfg", true, true, false,
     false, "a.gz", ""},
    {"DashDashEndsOptions", "--|-odd.gz", true, false, false, false, "-odd.gz", ""},
    {"ReportWithoutFile", "--report", false, false, false, false, "", ""},
    {"SaveWithoutValue", "--report|a.gz|--save", false, false, false, false, "", ""},
    {"JsonWithoutReport", "--json|a.gz", false, false, false, false, "", ""},
    {"UnknownLongOption", "--frobnicate", false, false, false, false, "", ""},
    {"TwoFiles", "--report|a.gz|b.gz", false, false, false, false, "", ""},
    {"SaveWithForce", "--report|a.gz|--force|--save|out.bin", true, true, false, false, "a.gz",
     "out.bin", true},
    {"ForceWithoutSave", "--report|a.gz|--force", false, false, false, false, "", ""},
};

class ParseCases_ : public ::testing::TestWithParam<ParseCase>
{
};

TEST_P(ParseCases_, ParsesOrRejects)
{
    const ParseCase &c = GetParam();
    const QStringList arguments = QString::fromUtf8(c.arguments).split('|', Qt::SkipEmptyParts);
    TCliOptions options;
    QString error;
    ASSERT_EQ(ParseCommandLine(arguments, options, error), c.ok) << error.toStdString();
    if (!c.ok) {
        EXPECT_FALSE(error.isEmpty());
        return;
    }
    EXPECT_EQ(options.Report, c.report);
    EXPECT_EQ(options.Json, c.json);
    EXPECT_EQ(options.PasswordStdin, c.passwordStdin);
    EXPECT_EQ(options.File.toStdString(), c.file);
    EXPECT_EQ(options.SaveTo.toStdString(), c.save);
    EXPECT_EQ(options.Force, c.force);
}

INSTANTIATE_TEST_SUITE_P(Table, ParseCases_, ::testing::ValuesIn(ParseCases),
                         [](const auto &info) { return std::string(info.param.label); });

TEST(ParseCommandLine, HelpAndVersion)
{
    TCliOptions options;
    QString error;
    ASSERT_TRUE(ParseCommandLine({"--help"}, options, error));
    EXPECT_TRUE(options.Help);
    ASSERT_TRUE(ParseCommandLine({"--version"}, options, error));
    EXPECT_TRUE(options.Version);
    EXPECT_TRUE(VersionText().contains(MP_VERSION));
    EXPECT_TRUE(UsageText().contains("--report FILE"));
}

class NoPassword : public IPasswordProvider
{
public:
    bool AskPassword(const QString &, QByteArray &) override { return false; }
};

class RunReportTest : public TempDirTest
{
protected:
    int run(const TCliOptions &options)
    {
        out.clear();
        err.clear();
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        NoPassword passwords;
        return RunReport(options, passwords, outStream, errStream);
    }
    QString out;
    QString err;
};

TEST_F(RunReportTest, ExitCodesAndSave)
{
    const QByteArray plain = SampleText(4000);
    TCliOptions options;
    options.Report = true;
    options.File = writeFile("a.gz", WriteGz(plain, PlainOptions()));
    options.SaveTo = path("saved.txt");
    EXPECT_EQ(run(options), ExitSuccess);
    EXPECT_TRUE(out.startsWith("Header:\n"));
    EXPECT_EQ(readFile(options.SaveTo), plain);

    // The data is written where it is saved: a folder that is not there
    // fails the unpacking, with the name.
    options.SaveTo = path("no/folder/saved.txt");
    EXPECT_EQ(run(options), ExitAnalysisError);
    EXPECT_TRUE(out.contains("Could not create file: \"" + QDir::toNativeSeparators(options.SaveTo)))
        << out.toStdString();
    EXPECT_EQ(QDir(dir()).entryList(QDir::Files | QDir::Hidden), (QStringList{"a.gz", "saved.txt"}));

    options.SaveTo.clear();
    options.File = writeFile("s.gze", WriteGz(plain, EncryptedOptions("pw", 1)));
    EXPECT_EQ(run(options), ExitAnalysisError);
    EXPECT_TRUE(out.contains("Error: No password")) << out.toStdString();

    options.Json = true;
    options.File = path("missing.gz");
    EXPECT_EQ(run(options), ExitAnalysisError);
    EXPECT_TRUE(out.contains("\"File not found!\"")) << out.toStdString();
}

TEST_F(RunReportTest, ExitStatusFollowsTheVerdict)
{
    const QByteArray gz = WriteGz(SampleText(30000), PlainOptions());
    TCliOptions options;
    options.Report = true;
    options.File = writeFile("cut.gz", gz.left(gz.size() / 2));
    options.SaveTo = path("rescued.txt");
    // What could be unpacked is saved, but the file is not intact.
    EXPECT_EQ(run(options), ExitAnalysisError);
    EXPECT_TRUE(out.contains("Truncated")) << out.toStdString();
    EXPECT_TRUE(QFileInfo::exists(options.SaveTo));

    QByteArray crc = gz;
    crc[crc.size() - 8] = char(crc.at(crc.size() - 8) ^ 1);
    options.File = writeFile("crc.gz", crc);
    options.SaveTo.clear();
    EXPECT_EQ(run(options), ExitAnalysisError);
    options.File = writeFile("good.gz", gz);
    EXPECT_EQ(run(options), ExitSuccess);
    EXPECT_TRUE(err.isEmpty()) << err.toStdString();
}

TEST_F(RunReportTest, MessagesGoToStandardErrorOnce)
{
    TCliOptions options;
    options.Report = true;
    options.File = writeFile("bad.gz", "not gz");
    EXPECT_EQ(run(options), ExitAnalysisError);
    EXPECT_EQ(err, "Error reading gz header!\n");
    EXPECT_FALSE(out.contains("Error reading gz header!")) << out.toStdString();
}

TEST_F(RunReportTest, SaveRefusalsComeBeforeTheWork)
{
    const QByteArray gz = WriteGz(SampleText(30000), PlainOptions());
    TCliOptions options;
    options.Report = true;
    options.File = writeFile("backup.gz", gz);
    options.SaveTo = options.File;
    options.Force = true;
    EXPECT_EQ(run(options), ExitAnalysisError);
    EXPECT_TRUE(err.contains("it is the analysed file")) << err.toStdString();
    EXPECT_FALSE(err.contains("--force")) << err.toStdString();
    EXPECT_TRUE(out.isEmpty()) << out.toStdString();
    EXPECT_EQ(readFile(options.File), gz);

    options.SaveTo = writeFile("existing.txt", "keep");
    options.Force = false;
    EXPECT_EQ(run(options), ExitAnalysisError);
    EXPECT_TRUE(err.contains("the file exists")) << err.toStdString();
    EXPECT_TRUE(err.contains("--force")) << err.toStdString();
    EXPECT_EQ(readFile(options.SaveTo), "keep");

    options.Force = true;
    EXPECT_EQ(run(options), ExitSuccess) << err.toStdString();
    EXPECT_EQ(readFile(options.SaveTo), SampleText(30000));
}

} // namespace

// The program itself, when it has been built beside the tests.
class ProgramTest : public ProgramRunTest
{
protected:
    void SetUp() override
    {
        ProgramRunTest::SetUp();
        UseProgram(QStringLiteral("packprobe"));
    }
};

TEST_F(ProgramTest, ReportsWithPasswordFromStandardInput)
{
    const QByteArray plain = SampleText(10000);
    const QString file = writeFile("s.gze", WriteGz(plain, EncryptedOptions("pass word", 3)));
    EXPECT_EQ(run({"--report", file, "--password-stdin", "--save", path("out.txt")}, "pass word\nrest\n"),
              ExitSuccess)
        << err.toStdString();
    EXPECT_TRUE(out.contains("Encryption depth: 256 bit")) << out.toStdString();
    EXPECT_EQ(readFile(path("out.txt")), plain);

    EXPECT_EQ(run({"--report", file, "--password-stdin", "--json"}, "wrong\n"), ExitAnalysisError);
    EXPECT_TRUE(out.contains("\"Decryption failed\"")) << out.toStdString();

    EXPECT_EQ(run({"--report", file}), ExitAnalysisError); // no terminal: no password
    EXPECT_TRUE(out.contains("No password")) << out.toStdString();
    EXPECT_TRUE(err.contains("--password-stdin")) << err.toStdString();
}

TEST_F(ProgramTest, ResultsOnStandardOutputErrorsOnStandardError)
{
    const QString file = writeFile("a.gz", WriteGz(SampleText(3000), PlainOptions()));
    EXPECT_EQ(run({"--report", file}), ExitSuccess);
    EXPECT_TRUE(out.contains("Verdict:\n  Intact")) << out.toStdString();
    EXPECT_TRUE(err.isEmpty()) << err.toStdString();

    EXPECT_EQ(run({"--report", dir()}), ExitAnalysisError);
    EXPECT_EQ(err, "Not a regular file!\n");
    EXPECT_FALSE(out.contains("File not found")) << out.toStdString();

    EXPECT_EQ(run({"--report", path("missing.gz"), "--json"}), ExitAnalysisError);
    EXPECT_EQ(err, "File not found!\n");
    EXPECT_TRUE(out.startsWith("{")) << out.toStdString();
}

TEST_F(ProgramTest, SaveIntoAMissingFolderGivesTheSystemsReason)
{
    const QString file = writeFile("a.gz", WriteGz(SampleText(3000), PlainOptions()));
    EXPECT_EQ(run({"--report", file, "--save", path("nodir/sub/out")}), ExitAnalysisError);
    EXPECT_TRUE(err.contains(SystemErrorText(ENOENT).toUtf8())) << err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(path("nodir"))) << "nothing is created on the way";
}

TEST_F(ProgramTest, ReportIsTranslatedJsonIsNot)
{
    QByteArray gz = WriteGz(SampleText(3000), PlainOptions());
    gz[gz.size() - 8] = char(gz.at(gz.size() - 8) ^ 1);
    const QString file = writeFile("crc.gz", gz);
    EXPECT_EQ(run({"-lang:de", "--report", file}), ExitAnalysisError);
    EXPECT_TRUE(out.contains("Abweichung: Prüfsumme im gz-Ende")) << out.toStdString();
    EXPECT_EQ(run({"-lang:de", "--report", file, "--json"}), ExitAnalysisError);
    EXPECT_TRUE(out.contains("\"Mismatch: checksum in the trailer\"")) << out.toStdString();
    EXPECT_EQ(run({"-lang:de", "--report", path("missing.gz"), "--json"}), ExitAnalysisError);
    EXPECT_TRUE(out.contains("\"File not found!\"")) << out.toStdString();
}

TEST_F(ProgramTest, UsageErrorsHelpAndNoWindow)
{
    EXPECT_EQ(run({"--report"}), ExitUsage);
    EXPECT_EQ(run({"--bogus"}), ExitUsage);
    EXPECT_EQ(run({"--help"}), ExitSuccess);
    EXPECT_TRUE(out.contains("--report FILE"));
    EXPECT_EQ(run({"--version"}), ExitSuccess);
    EXPECT_TRUE(out.contains(MP_VERSION));
    // Without a display the window is not tried: one line and bad usage.
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        environment.remove(QString::fromLatin1(name));
    EXPECT_EQ(run({}), ExitUsage);
    EXPECT_TRUE(err.startsWith("packprobe: No display")) << err.toStdString();
    EXPECT_EQ(err.count('\n'), 1) << err.toStdString();
    EXPECT_EQ(run({path("some.gz")}), ExitUsage);
    environment = QProcessEnvironment::systemEnvironment();
    EXPECT_EQ(run({"-lang:de", "--report", path("missing.gz")}), ExitAnalysisError);
}

#ifdef Q_OS_LINUX
// Ctrl+C at the password prompt must give the terminal its echo back.
TEST_F(ProgramTest, InterruptedPasswordPromptRestoresTheEcho)
{
    const QString file = writeFile("s.gze", WriteGz("abc", EncryptedOptions("pw", 1)));
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const QByteArray terminalName = ptsname(master);
    const QByteArray programName = QFile::encodeName(program);
    const QByteArray fileName = QFile::encodeName(file);
    const pid_t child = fork();
    if (child == 0) {
        setsid();
        const int terminal = open(terminalName.constData(), O_RDWR);
        dup2(terminal, 0);
        dup2(terminal, 1);
        dup2(terminal, 2);
        execl(programName.constData(), programName.constData(), "--report", fileName.constData(),
              static_cast<char *>(nullptr));
        _exit(127);
    }
    ASSERT_GT(child, 0);
    const int terminal = open(terminalName.constData(), O_RDWR | O_NOCTTY);
    auto echoOn = [terminal] {
        termios settings{};
        tcgetattr(terminal, &settings);
        return (settings.c_lflag & ECHO) != 0;
    };
    // Wait until the prompt has switched the echo off.
    QElapsedTimer waited;
    waited.start();
    while (echoOn() && waited.elapsed() < 10000) {
        char discard[256];
        pollfd readable{master, POLLIN, 0};
        if (poll(&readable, 1, 20) > 0)
            (void)!read(master, discard, sizeof discard);
    }
    EXPECT_FALSE(echoOn());
    kill(child, SIGINT);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT);
    EXPECT_TRUE(echoOn());
    close(terminal);
    close(master);
}
#endif

// ---------------------------------------------------------------------------
// --verify

TEST_F(ProgramTest, VerifyReportsEveryFileAndExitsByTheWorst)
{
    const QByteArray plain = SampleText(200000);
    const QByteArray gz = WriteGz(plain, PlainOptions());
    QDir().mkpath(path("set/sub"));
    writeFile("set/a.gz", gz);
    writeFile("set/sub/b.gze", WriteGz(plain, EncryptedOptions("pass word", 3)));
    EXPECT_EQ(run({"--verify", path("set"), "--password-stdin"}, "pass word\n"), ExitSuccess)
        << out.toStdString() << err.toStdString();
    QStringList lines = QString::fromUtf8(out).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << out.toStdString();
    EXPECT_TRUE(lines.last().startsWith("2 files: 2 intact")) << lines.last().toStdString();
    EXPECT_TRUE(err.isEmpty()) << err.toStdString();

    writeFile("set/sub/cut.gz", gz.left(gz.size() / 3) + gz.right(8));
    writeFile("password.txt", "wrong\n");
    EXPECT_EQ(run({"--verify", "-j", "2", "--json", path("set"), "--password-file", path("password.txt")}),
              ExitAnalysisError);
    lines = QString::fromUtf8(out).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4) << out.toStdString();
    EXPECT_TRUE(out.contains("\"Decryption failed\"")) << out.toStdString();
    EXPECT_TRUE(out.contains("\"truncated\"")) << out.toStdString();
    EXPECT_TRUE(lines.last().startsWith("{\"summary\":")) << lines.last().toStdString();
}

// Every count of the summary takes the form its number needs in the
// language: French writes 0 and 1 in the singular, 2 and more in the plural.
TEST_F(ProgramTest, VerifySummaryGivesEachCountItsOwnForm)
{
    const QByteArray gz = WriteGz(SampleText(1000), PlainOptions());
    writeFile("set/a.gz", gz);
    writeFile("set/b.gz", gz);
    writeFile("set/cut.gz", gz.left(gz.size() / 2));
    EXPECT_EQ(run({"-lang:fr", "--verify", path("set")}), ExitAnalysisError);
    EXPECT_TRUE(out.contains("3 fichiers : 2 intacts, 1 tronqué, 0 divergent, 0 en échec ;"))
        << out.toStdString();
}

TEST_F(ProgramTest, VerifyUsageErrors)
{
    EXPECT_EQ(run({"--verify"}), ExitUsage);
    EXPECT_EQ(run({"--verify", "-j", "0", dir()}), ExitUsage);
    EXPECT_EQ(run({"--verify", "-jx", dir()}), ExitUsage);
    EXPECT_EQ(run({"--verify", dir(), "--save", path("x")}), ExitUsage);
    EXPECT_EQ(run({"--verify", dir(), "--password-stdin", "--password-file", path("p")}), ExitUsage);
    EXPECT_EQ(run({"-j", "2", "--report", path("a.gz")}), ExitUsage);
}

// A password file that cannot give a password stops the run before any file
// is looked at, instead of every encrypted file reporting "No password".
TEST_F(ProgramTest, PasswordFileThatCannotBeReadIsRefusedFirst)
{
    writeFile("set/a.gze", WriteGz(SampleText(1000), EncryptedOptions("pw", 1)));
    EXPECT_EQ(run({"--verify", path("set"), "--password-file", path("missing.txt")}), ExitUsage);
    EXPECT_TRUE(out.isEmpty()) << out.toStdString();
    EXPECT_TRUE(err.contains("does not exist")) << err.toStdString();
    EXPECT_EQ(run({"--report", path("set/a.gze"), "--password-file", path("set")}), ExitUsage);
    EXPECT_TRUE(out.isEmpty()) << out.toStdString();
    EXPECT_TRUE(err.contains("is a folder")) << err.toStdString();
}

#ifdef Q_OS_UNIX
TEST_F(ProgramTest, VerifyStopsOnCtrlCWithASummaryAndLeavesNothing)
{
    QDir().mkpath(path("set"));
    QDir().mkpath(path("tmp"));
    const QByteArray zeros = ZerosGz(1);
    for (int i = 0; i < 200; ++i)
        writeFile(QStringLiteral("set/zeros%1.gz").arg(i, 3, 10, QLatin1Char('0')), zeros);
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TMPDIR", path("tmp"));
    process.setProcessEnvironment(environment);
    process.start(program, {"--verify", "-j", "1", path("set")});
    ASSERT_TRUE(process.waitForStarted());
    // Interrupted once the first file is checked.
    QByteArray output;
    while (!output.contains('\n') && process.waitForReadyRead(60000))
        output += process.readAllStandardOutput();
    ASSERT_TRUE(output.contains('\n'));
    ::kill(pid_t(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(60000));
    output += process.readAllStandardOutput();
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), ExitAnalysisError);
    const QStringList lines = QString::fromUtf8(output).split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 3) << output.toStdString();
    EXPECT_LT(lines.size(), 200) << output.toStdString();
    EXPECT_TRUE(lines.at(lines.size() - 2).startsWith("Interrupted: ")) << output.toStdString();
    EXPECT_EQ(QDir(path("tmp")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList());
}
#endif
