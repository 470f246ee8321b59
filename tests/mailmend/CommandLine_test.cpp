#include "mailmend/core/CommandLine.h"

#include "support/TempDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace {

class CommandLineTest : public TempDirTest
{
protected:
    int Run(const QStringList &arguments, const QString &input = QString(), bool interactive = false)
    {
        out.clear();
        err.clear();
        QString inputText = input;
        QTextStream outStream(&out), errStream(&err), inStream(&inputText);
        TCommandLineIo io{outStream, errStream, inStream, interactive,
                          [this](const QString &) { return thunderbirdRuns; }, {}};
        return RunCommandLine(QStringList{QStringLiteral("mailmend")} + arguments, io);
    }

    QString out, err;
    bool thunderbirdRuns = false;
};

const QByteArray OneDeleted = "From a\nX-Mozilla-Status: 0009\n";
const QByteArray OneRecovered = "From a\r\nX-Mozilla-Status: 0001\r\n";

TEST_F(CommandLineTest, UsageAndModes)
{
    EXPECT_EQ(Run({}), NoCommandLineMode);
    EXPECT_EQ(Run({QStringLiteral("-lang:de"), QStringLiteral("-portable")}), NoCommandLineMode);
    EXPECT_EQ(Run({QStringLiteral("--help")}), ExitOk);
    EXPECT_TRUE(out.contains(QStringLiteral("--recover [--unread] [--yes] FOLDER...")));
    EXPECT_EQ(Run({QStringLiteral("--version")}), ExitOk);
    EXPECT_EQ(out, QStringLiteral("mailmend " MP_VERSION "\n"));
    for (const QStringList &bad : {QStringList{QStringLiteral("--bogus")}, QStringList{QStringLiteral("--scan")},
                                   QStringList{QStringLiteral("--scan"), QStringLiteral("--recover"), QStringLiteral("x")},
                                   QStringList{QStringLiteral("Inbox")}}) {
        EXPECT_EQ(Run(bad), ExitUsage) << bad.join(u' ').toStdString();
        EXPECT_TRUE(err.contains(QStringLiteral("Usage:")));
    }
}

TEST(CommandLineMode, IsDecidedFromTheArgumentsAlone)
{
    const auto has = [](const QStringList &arguments) {
        return HasCommandLineMode(QStringList{QStringLiteral("mailmend")} + arguments);
    };
    EXPECT_FALSE(has({}));
    EXPECT_FALSE(has({QStringLiteral("-lang:de"), QStringLiteral("-portable")}));
    EXPECT_FALSE(has({QStringLiteral("--thunderbird"), QStringLiteral("/tb")}));
    EXPECT_TRUE(has({QStringLiteral("--help")}));
    EXPECT_TRUE(has({QStringLiteral("--version")}));
    EXPECT_TRUE(has({QStringLiteral("--list-profiles")}));
    EXPECT_TRUE(has({QStringLiteral("--scan"), QStringLiteral("Inbox")}));
    // Bad usage is answered on the command line, not with the window.
    EXPECT_TRUE(has({QStringLiteral("--bogus")}));
    EXPECT_TRUE(has({QStringLiteral("Inbox")}));
}

TEST_F(CommandLineTest, ListProfiles)
{
    writeFile(QStringLiteral("tb/profiles.ini"),
              "[Profile0]\nName=work\nPath=Profiles/w.work\n[Profile1]\nName=home\nPath=Profiles/h.default\n");
    QDir(dir()).mkpath(QStringLiteral("tb/Profiles/w.work"));
    QDir(dir()).mkpath(QStringLiteral("tb/Profiles/h.default"));
    EXPECT_EQ(Run({QStringLiteral("--list-profiles"), QStringLiteral("--thunderbird"), path(QStringLiteral("tb"))}), ExitOk);
    const QString tb = path(QStringLiteral("tb/"));
    EXPECT_EQ(out, QStringLiteral("  work\t<Thunderbird>/Profiles/w.work\t") + tb + QStringLiteral("Profiles/w.work\n")
                       + QStringLiteral("* Default user\t<Thunderbird>/Profiles/h.default\t") + tb
                       + QStringLiteral("Profiles/h.default\n"));

    EXPECT_EQ(Run({QStringLiteral("--list-profiles"), QStringLiteral("--thunderbird=") + path(QStringLiteral("none"))}), ExitFailed);
    EXPECT_TRUE(err.startsWith(QStringLiteral("No Thunderbird profiles found!")));
}

TEST_F(CommandLineTest, ScanWritesNothing)
{
    const QString inbox = writeFile(QStringLiteral("Inbox"), OneDeleted);
    const QString trash = writeFile(QStringLiteral("Trash"), "");
    EXPECT_EQ(Run({QStringLiteral("--scan"), inbox, path(QStringLiteral("missing")), trash}), ExitFailed);
    EXPECT_EQ(out, QStringLiteral("Mailfolder: \"Inbox\"\n1 deleted mail found\nMailfolder: \"Trash\"\nNo deleted mails found\n"));
    EXPECT_TRUE(err.startsWith(QStringLiteral("Cannot open file \"") + path(QStringLiteral("missing"))));
    EXPECT_EQ(readFile(inbox), OneDeleted);
}

TEST_F(CommandLineTest, RecoverWithYes)
{
    const QString inbox = writeFile(QStringLiteral("Inbox"), OneDeleted);
    const QString trash = writeFile(QStringLiteral("Trash"), "From b\n");
    EXPECT_EQ(Run({QStringLiteral("--recover"), QStringLiteral("--yes"), trash, inbox}), ExitOk);
    EXPECT_EQ(out, QStringLiteral("Mailfolder: \"Inbox\" - 1 deleted mail was recovered\n"));
    EXPECT_EQ(readFile(inbox), OneRecovered);

    writeFile(QStringLiteral("Inbox"), OneDeleted);
    EXPECT_EQ(Run({QStringLiteral("--recover"), QStringLiteral("--yes"), QStringLiteral("--unread"), inbox}), ExitOk);
    EXPECT_EQ(readFile(inbox), QByteArray("From a\r\nX-Mozilla-Status: 0000\r\n"));
}

TEST_F(CommandLineTest, RecoverRefusesWithoutTerminalOrWhileThunderbirdRuns)
{
    const QString inbox = writeFile(QStringLiteral("Inbox"), OneDeleted);
    EXPECT_EQ(Run({QStringLiteral("--recover"), inbox}), ExitUsage);
    EXPECT_TRUE(err.contains(QStringLiteral("--yes")));
    thunderbirdRuns = true;
    EXPECT_EQ(Run({QStringLiteral("--recover"), QStringLiteral("--yes"), inbox}), ExitFailed);
    EXPECT_EQ(err, QStringLiteral("Thunderbird is still running - recovery aborted!\n"));
    EXPECT_EQ(readFile(inbox), OneDeleted);
}

TEST_F(CommandLineTest, ErrorEndsTheRun)
{
    const QString inbox = writeFile(QStringLiteral("Inbox"), OneDeleted);
    EXPECT_EQ(Run({QStringLiteral("--recover"), QStringLiteral("--yes"), path(QStringLiteral("missing")), inbox}), ExitFailed);
    EXPECT_EQ(readFile(inbox), OneDeleted);
}

struct TAnswerCase
{
    const char *name;
    const char *input; // typed answers
    int exitCode;
    bool recovered;
};

constexpr TAnswerCase AnswerCases[] = {
    {"YesByNumber", "1\n", ExitOk, true},
    {"YesByCaption", "junk\nyes\n", ExitOk, true},
    {"Skip", "2\n", ExitOk, false},
    {"Cancel", "0\n", ExitCancelled, false},
    {"EndOfInput", "", ExitCancelled, false},
};

class CommandLineAnswers : public CommandLineTest, public ::testing::WithParamInterface<TAnswerCase>
{
};

TEST_P(CommandLineAnswers, OnTheTerminal)
{
    const QString inbox = writeFile(QStringLiteral("Inbox"), OneDeleted);
    EXPECT_EQ(Run({QStringLiteral("--recover"), inbox}, QLatin1String(GetParam().input), true), GetParam().exitCode);
    EXPECT_TRUE(out.startsWith(QStringLiteral("Mailfolder: \"Inbox\"\n1 deleted mail found\nStart recovery?\n"
                                              "1 = Yes, 2 = Skip, 0 = Cancel: ")))
        << out.toStdString();
    EXPECT_EQ(readFile(inbox), GetParam().recovered ? OneRecovered : OneDeleted);
}

INSTANTIATE_TEST_SUITE_P(Answers, CommandLineAnswers, ::testing::ValuesIn(AnswerCases),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace

namespace {

TEST_F(CommandLineTest, ImapFolderIsAnnouncedAndYesSkipsIt)
{
    QDir(dir()).mkpath(QStringLiteral("p/ImapMail/imap.example.org"));
    const QString folder = writeFile(QStringLiteral("p/ImapMail/imap.example.org/INBOX"), OneDeleted);
    EXPECT_EQ(Run({QStringLiteral("--recover"), QStringLiteral("--yes"), folder}), ExitOk);
    EXPECT_TRUE(err.contains(QStringLiteral("IMAP"))) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("-> Skip"))) << err.toStdString();
    EXPECT_EQ(readFile(folder), OneDeleted);
}

TEST_F(CommandLineTest, ImapFolderIsRecoveredWhenTheUserSaysSo)
{
    QDir(dir()).mkpath(QStringLiteral("p/ImapMail/imap.example.org"));
    const QString folder = writeFile(QStringLiteral("p/ImapMail/imap.example.org/INBOX"), OneDeleted);
    // "Recover anyway" (2), then "Yes" (1).
    EXPECT_EQ(Run({QStringLiteral("--recover"), folder}, QStringLiteral("2\n1\n"), true), ExitOk);
    EXPECT_TRUE(out.contains(QStringLiteral("Recover anyway"))) << out.toStdString();
    EXPECT_NE(readFile(folder), OneDeleted);
}

TEST_F(CommandLineTest, ThunderbirdOptionIsTakenForTheWindow)
{
    EXPECT_EQ(ThunderbirdFolderOption({QStringLiteral("mailmend"), QStringLiteral("--thunderbird"), QStringLiteral("/tb")}),
              QStringLiteral("/tb"));
    EXPECT_EQ(ThunderbirdFolderOption({QStringLiteral("mailmend"), QStringLiteral("--thunderbird=/x")}), QStringLiteral("/x"));
    EXPECT_TRUE(ThunderbirdFolderOption({QStringLiteral("mailmend"), QStringLiteral("-lang:de")}).isEmpty());
    EXPECT_EQ(Run({QStringLiteral("--thunderbird"), QStringLiteral("/tb")}), NoCommandLineMode);
}

} // namespace

// The program itself, when it has been built beside the tests.
class MailmendProgramTest : public TempDirTest
{
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        program = QCoreApplication::applicationDirPath() + QStringLiteral("/mailmend");
        if (!QFile::exists(program))
            GTEST_SKIP() << "mailmend is not built";
    }
    int run(const QStringList &arguments)
    {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(program, arguments);
        process.closeWriteChannel();
        process.waitForFinished(60000);
        out = process.readAllStandardOutput();
        err = process.readAllStandardError();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    QString program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QByteArray out;
    QByteArray err;
};

TEST_F(MailmendProgramTest, WithoutADisplayTheCommandLineWorksAndTheWindowSaysWhy)
{
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        environment.remove(QString::fromLatin1(name));
    EXPECT_EQ(run({QStringLiteral("--version")}), ExitOk) << err.toStdString();
    EXPECT_TRUE(out.startsWith("mailmend ")) << out.toStdString();
    EXPECT_EQ(run({QStringLiteral("--bogus")}), ExitUsage);
    EXPECT_TRUE(err.contains("Usage:")) << err.toStdString();

    EXPECT_EQ(run({}), ExitUsage);
    EXPECT_TRUE(err.startsWith("mailmend: No display")) << err.toStdString();
    EXPECT_EQ(err.count('\n'), 1) << err.toStdString();
}
