#include "mailmend/core/CommandLine.h"

#include "support/ProgramRun.h"
#include "support/TempDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace mailmend;

using namespace foundation;
using namespace mailmend;

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
        foundation::TFunctionMonitor monitor({}, [this] { return cancelled; });
        TCommandLineIo io{outStream, errStream, inStream, interactive,
                          [this](const QString &) { return thunderbirdRuns; }, &monitor};
        return RunCommandLine(QStringList{QStringLiteral("mailmend")} + arguments, io);
    }

    QString out, err;
    bool thunderbirdRuns = false;
    bool cancelled = false;
};

const QByteArray OneDeleted = "From a\nX-Mozilla-Status: 0009\n";
const QByteArray OneRecovered = "From a\nX-Mozilla-Status: 0001\n";

TEST_F(CommandLineTest, UsageAndModes)
{
    EXPECT_EQ(Run({}), NoCommandLineMode);
    EXPECT_EQ(Run({QStringLiteral("-lang:de"), QStringLiteral("-portable")}), NoCommandLineMode);
    EXPECT_EQ(Run({QStringLiteral("--help")}), ExitOk);
    EXPECT_TRUE(out.contains(QStringLiteral("--recover [--unread] [--yes] [--only LIST] FOLDER...")));
    EXPECT_TRUE(out.contains(QStringLiteral("--list-deleted FOLDER... [--json]")));
    EXPECT_EQ(Run({QStringLiteral("--version")}), ExitOk);
    EXPECT_EQ(out, QStringLiteral("mailmend " MP_VERSION "\n"));
    for (const QStringList &bad : {QStringList{QStringLiteral("--bogus")}, QStringList{QStringLiteral("--scan")},
                                   QStringList{QStringLiteral("--scan"), QStringLiteral("--recover"), QStringLiteral("x")},
                                   QStringList{QStringLiteral("Inbox")},
                                   QStringList{QStringLiteral("--scan"), QStringLiteral("--json"), QStringLiteral("x")},
                                   QStringList{QStringLiteral("--list-deleted"), QStringLiteral("--only"), QStringLiteral("1"),
                                               QStringLiteral("x")},
                                   QStringList{QStringLiteral("--recover"), QStringLiteral("--yes"), QStringLiteral("--only"),
                                               QStringLiteral("1"), QStringLiteral("x"), QStringLiteral("y")},
                                   QStringList{QStringLiteral("--list-profiles"), QStringLiteral("--thunderbird")}}) {
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
    EXPECT_EQ(out, QStringLiteral("  Profile\tPath\tFolder\n")
                       + QStringLiteral("  work\t<Thunderbird>/Profiles/w.work\t") + tb + QStringLiteral("Profiles/w.work\n")
                       + QStringLiteral("* Default user (home)\t<Thunderbird>/Profiles/h.default\t") + tb
                       + QStringLiteral("Profiles/h.default\n"));

    EXPECT_EQ(Run({QStringLiteral("--list-profiles"), QStringLiteral("--thunderbird=") + path(QStringLiteral("none"))}), ExitFailed);
    EXPECT_TRUE(err.startsWith(QStringLiteral("No Thunderbird profiles found!")));

    EXPECT_EQ(Run({QStringLiteral("--list-profiles"), QStringLiteral("--thunderbird")}), ExitUsage);
    EXPECT_TRUE(err.startsWith(QStringLiteral("Option --thunderbird needs a value.\n")));
}

TEST_F(CommandLineTest, ProfileNamesWithControlCharactersStayOnOneLine)
{
    writeFile(QStringLiteral("tb/profiles.ini"),
              "[Profile0]\nName=a\x1b[31mred\tb\nPath=Profiles/x\n[Profile1]\nName=other\nPath=Profiles/y\nDefault=1\n");
    QDir(dir()).mkpath(QStringLiteral("tb/Profiles/x"));
    QDir(dir()).mkpath(QStringLiteral("tb/Profiles/y"));
    EXPECT_EQ(Run({QStringLiteral("--list-profiles"), QStringLiteral("--thunderbird"), path(QStringLiteral("tb"))}), ExitOk);
    EXPECT_TRUE(out.contains(QStringLiteral("\n  a\\x1B[31mred\\x09b\t<Thunderbird>/Profiles/x\t"))) << out.toStdString();
    EXPECT_EQ(out.count(u'\n'), 3);
}

TEST_F(CommandLineTest, ScanWritesNothing)
{
    const QString inbox = writeFile(QStringLiteral("Inbox"), OneDeleted);
    const QString trash = writeFile(QStringLiteral("Trash"), "");
    EXPECT_EQ(Run({QStringLiteral("--scan"), inbox, path(QStringLiteral("missing")), trash, inbox}), ExitFailed);
    EXPECT_EQ(out, QStringLiteral("Mailfolder: \"Inbox\"\n1 deleted mail found\nMailfolder: \"Trash\"\nNo deleted mails found\n"));
    EXPECT_TRUE(err.startsWith(QStringLiteral("Cannot open file \"") + path(QStringLiteral("missing"))));
    EXPECT_EQ(readFile(inbox), OneDeleted);
}

TEST_F(CommandLineTest, RecoverWithYes)
{
    const QString inbox = writeFile(QStringLiteral("Inbox"), OneDeleted);
    const QString trash = writeFile(QStringLiteral("Trash"), "From b\n");
    EXPECT_EQ(Run({QStringLiteral("--recover"), QStringLiteral("--yes"), trash, inbox, inbox}), ExitOk);
    EXPECT_EQ(out, QStringLiteral("Mailfolder: \"Trash\"\nNo deleted mails found\n"
                                  "Mailfolder: \"Inbox\" - 1 deleted mail was recovered\n"));
    EXPECT_EQ(err, QString());
    EXPECT_EQ(readFile(inbox), OneRecovered);

    writeFile(QStringLiteral("Inbox"), OneDeleted);
    EXPECT_EQ(Run({QStringLiteral("--recover"), QStringLiteral("--yes"), QStringLiteral("--unread"), inbox}), ExitOk);
    EXPECT_EQ(readFile(inbox), QByteArray("From a\nX-Mozilla-Status: 0000\n"));
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
    {"YesByEnter", "\n", ExitOk, true},
    {"YesByLetter", "Y\n", ExitOk, true},
    {"SkipByLetter", "s\n", ExitOk, false},
    {"Skip", "2\n", ExitOk, false},
    {"Cancel", "0\n", ExitCancelled, false},
    {"CancelByLetter", "9\nc\n", ExitCancelled, false},
    {"EndOfInput", "", ExitCancelled, false},
};

class CommandLineAnswers : public CommandLineTest, public ::testing::WithParamInterface<TAnswerCase>
{
};

TEST_P(CommandLineAnswers, OnTheTerminal)
{
    const QString inbox = writeFile(QStringLiteral("Inbox"), OneDeleted);
    EXPECT_EQ(Run({QStringLiteral("--recover"), inbox}, QLatin1String(GetParam().input), true), GetParam().exitCode);
    EXPECT_TRUE(err.startsWith(QStringLiteral("Mailfolder: \"Inbox\"\n1 deleted mail found\nStart recovery?\n"
                                              "1 = Yes, 2 = Skip, 0 = Cancel [1]: ")))
        << err.toStdString();
    EXPECT_EQ(err.endsWith(QStringLiteral("Cancelled by the user.\n")), GetParam().exitCode == ExitCancelled);
    EXPECT_EQ(readFile(inbox), GetParam().recovered ? OneRecovered : OneDeleted);
}

INSTANTIATE_TEST_SUITE_P(Answers, CommandLineAnswers, ::testing::ValuesIn(AnswerCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(CommandLineTest, CloseRequestSaysType)
{
    const QString inbox = writeFile(QStringLiteral("Inbox"), OneDeleted);
    thunderbirdRuns = true;
    EXPECT_EQ(Run({QStringLiteral("--recover"), inbox}, QStringLiteral("y\nc\n1\n"), true), ExitFailed);
    EXPECT_TRUE(err.contains(QStringLiteral("Please close the running Thunderbird application\n"
                                            "and then type \"Continue\" to start the recovery!\n"
                                            "1 = Continue, 0 = Cancel [1]: 1 = Continue, 0 = Cancel [1]: ")))
        << err.toStdString(); // "c" fits both captions and is asked again
    EXPECT_TRUE(err.endsWith(QStringLiteral("Thunderbird is still running - recovery aborted!\n")));
    EXPECT_EQ(readFile(inbox), OneDeleted);
}

TEST_F(CommandLineTest, CtrlCSaysCancelled)
{
    const QString inbox = writeFile(QStringLiteral("Inbox"), OneDeleted);
    cancelled = true;
    EXPECT_EQ(Run({QStringLiteral("--recover"), QStringLiteral("--yes"), inbox}), ExitCancelled);
    EXPECT_EQ(err, QStringLiteral("Cancelled by the user.\n"));
    EXPECT_EQ(Run({QStringLiteral("--scan"), inbox}), ExitCancelled);
    EXPECT_EQ(err, QStringLiteral("Cancelled by the user.\n"));
    EXPECT_EQ(readFile(inbox), OneDeleted);
}

const QByteArray ThreeMails = "From a\nDate: Tue, 5 Mar 2024 09:15:00 +0100\nFrom: Ann <ann@example.org>\n"
                              "Subject: =?UTF-8?Q?Gr=C3=BC=C3=9Fe?=\nX-Mozilla-Status: 0009\n\nbody\n"
                              "From b\nSubject: kept\nX-Mozilla-Status: 0001\n\n"
                              "From c\nSubject: tab\there\nX-Mozilla-Status: 0008\n\n";

TEST_F(CommandLineTest, ListDeletedAsTable)
{
    const QString inbox = writeFile(QStringLiteral("Inbox"), ThreeMails);
    EXPECT_EQ(Run({QStringLiteral("--list-deleted"), inbox}), ExitOk);
    const qint64 second = ThreeMails.indexOf("From c");
    EXPECT_EQ(out, QStringLiteral("Number\tDate\tFrom\tSubject\tSize\n"
                                  "1\t2024-03-05T09:15:00+01:00\tAnn <ann@example.org>\tGrüße\t")
                       + QString::number(ThreeMails.indexOf("From b")) + QStringLiteral("\n2\t\t\ttab\\x09here\t")
                       + QString::number(ThreeMails.size() - second) + QStringLiteral("\n"));
    EXPECT_EQ(readFile(inbox), ThreeMails);

    const QString trash = writeFile(QStringLiteral("Trash"), "");
    EXPECT_EQ(Run({QStringLiteral("--list-deleted"), trash, inbox}), ExitOk);
    EXPECT_TRUE(out.startsWith(QStringLiteral("Mailfolder: \"Trash\"\nNumber\tDate\tFrom\tSubject\tSize\n\n"
                                              "Mailfolder: \"Inbox\"\nNumber\t")))
        << out.toStdString();
}

TEST_F(CommandLineTest, ListDeletedAsJson)
{
    const QString inbox = writeFile(QStringLiteral("Inbox"), ThreeMails);
    EXPECT_EQ(Run({QStringLiteral("--list-deleted"), QStringLiteral("--json"), inbox}), ExitOk);
    const QJsonArray mails = QJsonDocument::fromJson(out.toUtf8()).array();
    ASSERT_EQ(mails.size(), 2);
    const QJsonObject first = mails[0].toObject();
    EXPECT_EQ(first.value(QStringLiteral("number")).toInteger(), 1);
    EXPECT_EQ(first.value(QStringLiteral("offset")).toInteger(), 0);
    EXPECT_EQ(first.value(QStringLiteral("date")).toString(), QStringLiteral("2024-03-05T09:15:00+01:00"));
    EXPECT_EQ(first.value(QStringLiteral("from")).toString(), QStringLiteral("Ann <ann@example.org>"));
    EXPECT_EQ(first.value(QStringLiteral("subject")).toString(), QStringLiteral("Grüße"));
    EXPECT_EQ(first.value(QStringLiteral("size")).toInteger(), ThreeMails.indexOf("From b"));
    EXPECT_EQ(first.value(QStringLiteral("status")).toString(), QStringLiteral("0009"));
    const QJsonObject second = mails[1].toObject();
    EXPECT_TRUE(second.value(QStringLiteral("date")).isNull());
    EXPECT_EQ(second.value(QStringLiteral("offset")).toInteger(), ThreeMails.indexOf("From c"));
    EXPECT_EQ(second.value(QStringLiteral("subject")).toString(), QStringLiteral("tab\there"));
    EXPECT_EQ(second.value(QStringLiteral("status")).toString(), QStringLiteral("0008"));

    const QString trash = writeFile(QStringLiteral("Trash"), "");
    EXPECT_EQ(Run({QStringLiteral("--list-deleted"), QStringLiteral("--json"), inbox, trash}), ExitOk);
    const QJsonObject byFolder = QJsonDocument::fromJson(out.toUtf8()).object();
    EXPECT_EQ(byFolder.value(inbox).toArray().size(), 2);
    EXPECT_TRUE(byFolder.value(trash).isArray());
    EXPECT_EQ(byFolder.value(trash).toArray().size(), 0);
}

struct TOnlyCase
{
    const char *name;
    const char *list;
    int exitCode;
    const char *digits; // the status digits of the three deleted mails afterwards
    const char *named;  // what the error message quotes ("" when it succeeds)
};

constexpr TOnlyCase OnlyCases[] = {
    {"One", "2", ExitOk, "918", ""},
    {"RangeAndNumber", "1, 2-3", ExitOk, "110", ""},
    {"Repeated", "3,3", ExitOk, "990", ""},
    {"MissingNumber", "2,4", ExitUsage, "998", "number 4"},
    {"Zero", "0", ExitUsage, "998", "\"0\""},
    {"BackwardRange", "3-2", ExitUsage, "998", "\"3-2\""},
    {"NotANumber", "1,two", ExitUsage, "998", "\"two\""},
    {"EmptyPart", "1,,3", ExitUsage, "998", "\"1,,3\""},
    {"Empty", "", ExitUsage, "998", "--only needs a value"},
};

class CommandLineOnly : public CommandLineTest, public ::testing::WithParamInterface<TOnlyCase>
{
};

TEST_P(CommandLineOnly, RecoversTheListedMails)
{
    const QByteArray input = "From a\nX-Mozilla-Status: 0009\n\nFrom b\nX-Mozilla-Status: 0001\n\n"
                             "From c\nX-Mozilla-Status: 0009\n\nFrom d\nX-Mozilla-Status: 0008\n";
    const QString inbox = writeFile(QStringLiteral("Inbox"), input);
    EXPECT_EQ(Run({QStringLiteral("--recover"), QStringLiteral("--yes"), QStringLiteral("--only"),
                   QLatin1String(GetParam().list), inbox}),
              GetParam().exitCode)
        << err.toStdString();
    const QByteArray after = readFile(inbox);
    QByteArray digits;
    for (const qsizetype at : {input.indexOf("From a"), input.indexOf("From c"), input.indexOf("From d")})
        digits.append(after[after.indexOf('\n', at + 7) - 1]);
    EXPECT_EQ(digits, QByteArray(GetParam().digits));
    if (GetParam().exitCode == ExitUsage) {
        EXPECT_TRUE(err.contains(QLatin1String(GetParam().named))) << err.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Lists, CommandLineOnly, ::testing::ValuesIn(OnlyCases),
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
    EXPECT_TRUE(err.contains(QStringLiteral("Recover anyway"))) << err.toStdString();
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
class MailmendProgramTest : public ProgramRunTest
{
protected:
    void SetUp() override
    {
        ProgramRunTest::SetUp();
        UseProgram(QStringLiteral("mailmend"));
    }
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
