#include "mailmend/core/MailRecovery.h"

#include "foundation/LangUtils.h"
#include "support/TempDir.h"

#include <QFileInfo>
#include <QLocale>
#include <QThread>

#include <deque>

using namespace foundation;
using namespace mailmend;

namespace {

// Answers the recovery's questions from a script and records what it asked.
class TScriptedPrompter : public TRecoveryPrompter
{
public:
    std::deque<int> Answers;       // button index per question, -1 = Cancel
    std::deque<bool> RunningTests; // answers of the running test
    bool Unread = false;
    int CancelAfterBuffers = -1;
    foundation::TFunctionMonitor Watch{{}, [this] { return CancelAfterBuffers >= 0 && CancelAfterBuffers-- == 0; }};

    QStringList Log;
    QStringList Messages;
    QList<QStringList> Buttons;

    int Choose(const QString &message, const QStringList &buttons) override
    {
        Log << QStringLiteral("choose");
        Messages << message;
        Buttons << buttons;
        EXPECT_FALSE(Answers.empty()) << "unexpected question: " << message.toStdString();
        if (Answers.empty())
            return -1;
        const int answer = Answers.front();
        Answers.pop_front();
        return answer;
    }
    bool IsThunderbirdRunning(const QString &) override
    {
        Log << QStringLiteral("running?");
        EXPECT_FALSE(RunningTests.empty());
        if (RunningTests.empty())
            return true;
        const bool running = RunningTests.front();
        RunningTests.pop_front();
        return running;
    }
    bool MarkUnread() override
    {
        Log << QStringLiteral("unread?");
        return Unread;
    }
    foundation::IProgressMonitor *Monitor() override { return &Watch; }
};

const QByteArray TwoDeleted = "From a\nX-Mozilla-Status: 0009\n\nFrom b\nX-Mozilla-Status: 0008\n";
const QByteArray Recovered = "From a\nX-Mozilla-Status: 0001\n\nFrom b\nX-Mozilla-Status: 0000\n";
const QByteArray RecoveredUnread = "From a\nX-Mozilla-Status: 0000\n\nFrom b\nX-Mozilla-Status: 0000\n";

struct TFlowCase
{
    const char *name;
    bool hasDeleted;
    std::initializer_list<int> answers;
    std::initializer_list<bool> running;
    bool unread;
    TRecoveryOutcome outcome;
    qint64 code;
    const char *log;
};

const TFlowCase FlowCases[] = {
    {"NothingFoundOk", false, {0}, {}, false, TRecoveryOutcome::NothingFound, RecoverySkipped, "choose"},
    {"NothingFoundCancel", false, {-1}, {}, false, TRecoveryOutcome::Cancelled, RecoveryCancelled, "choose"},
    {"Skip", true, {1}, {}, false, TRecoveryOutcome::Skipped, RecoverySkipped, "choose"},
    {"CancelConfirmation", true, {-1}, {}, false, TRecoveryOutcome::Cancelled, RecoveryCancelled, "choose"},
    {"Recover", true, {0}, {false}, false, TRecoveryOutcome::Recovered, 2, "choose running? unread?"},
    {"RecoverUnread", true, {0}, {false}, true, TRecoveryOutcome::Recovered, 2, "choose running? unread?"},
    {"ClosedAfterRequest", true, {0, 0}, {true, false}, false, TRecoveryOutcome::Recovered, 2,
     "choose running? choose running? unread?"},
    {"StillRunning", true, {0, 0}, {true, true}, false, TRecoveryOutcome::ThunderbirdRuns, RecoveryThunderbirdRuns,
     "choose running? choose running?"},
    {"CancelWhileRunning", true, {0, -1}, {true}, false, TRecoveryOutcome::Cancelled, RecoveryCancelled,
     "choose running? choose"},
};

class RecoveryFlow : public TempDirTest, public ::testing::WithParamInterface<TFlowCase>
{
};

TEST_P(RecoveryFlow, GivesItsResultAndWritesOnlyOnSuccess)
{
    const TFlowCase &c = GetParam();
    const QByteArray input = c.hasDeleted ? TwoDeleted : QByteArray("From a\nX-Mozilla-Status: 0001\n");
    const QString file = writeFile(QStringLiteral("Inbox"), input);
    const QString index = writeFile(QStringLiteral("Inbox.msf"), "index");
    TScriptedPrompter prompter;
    prompter.Answers = c.answers;
    prompter.RunningTests = c.running;
    prompter.Unread = c.unread;

    const TRecoveryResult result = RecoverMailFolder(file, prompter);
    EXPECT_EQ(result.Outcome, c.outcome);
    EXPECT_EQ(result.Code(), c.code);
    EXPECT_EQ(result.Count, c.code > 0 ? c.code : 0);
    EXPECT_EQ(prompter.Log.join(u' '), QLatin1String(c.log));
    EXPECT_TRUE(prompter.Answers.empty());
    if (c.code > 0) {
        EXPECT_EQ(readFile(file), c.unread ? RecoveredUnread : Recovered);
        EXPECT_FALSE(QFileInfo::exists(index));
    } else {
        EXPECT_EQ(readFile(file), input);
        EXPECT_TRUE(QFileInfo::exists(index));
    }
}

INSTANTIATE_TEST_SUITE_P(Results, RecoveryFlow, ::testing::ValuesIn(FlowCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(TempDirTest, RecoveryAsksWithTheExactTexts)
{
    const QString file = writeFile(QStringLiteral("Sent"), TwoDeleted);
    TScriptedPrompter prompter;
    prompter.Answers = {0, 0};
    prompter.RunningTests = {true, true};
    RecoverMailFolder(file, prompter);
    ASSERT_EQ(prompter.Messages.size(), 2);
    EXPECT_EQ(prompter.Messages[0], QStringLiteral("Mailfolder: \"Sent\"\r\n2 deleted mails found\r\nStart recovery?"));
    EXPECT_EQ(prompter.Buttons[0], (QStringList{QStringLiteral("Yes"), QStringLiteral("Skip")}));
    EXPECT_EQ(prompter.Messages[1], QStringLiteral("Please close the running Thunderbird application\r\n"
                                                   "and then click \"Continue\" to start the recovery!"));
    EXPECT_EQ(prompter.Buttons[1], QStringList{QStringLiteral("Continue")});

    const QString empty = writeFile(QStringLiteral("Drafts"), "");
    prompter.Answers = {0};
    RecoverMailFolder(empty, prompter);
    EXPECT_EQ(prompter.Messages.last(), QStringLiteral("Mailfolder: \"Drafts\"\r\nNo deleted mails found"));
    EXPECT_EQ(prompter.Buttons.last(), QStringList{QStringLiteral("OK")});

    EXPECT_EQ(ThunderbirdStillRunningText(), QStringLiteral("Thunderbird is still running - recovery aborted!"));
    EXPECT_EQ(RecoveredMessageLine(file, 1), QStringLiteral("Mailfolder: \"Sent\" - 1 deleted mail was recovered"));
}

TEST(RecoveryTexts, CountsWithSeparatorsFrom10000)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(FoundCountText(1), QStringLiteral("1 deleted mail found"));
    EXPECT_EQ(FoundCountText(9999), QStringLiteral("9999 deleted mails found"));
    EXPECT_EQ(FoundCountText(12345), QStringLiteral("12,345 deleted mails found"));
    EXPECT_EQ(RecoveredCountText(12345), QStringLiteral("12,345 deleted mails were recovered"));
    QLocale::setDefault(QLocale::c());
}

TEST_F(TempDirTest, CancelledProgressLeavesTheFolder)
{
    QByteArray big;
    while (big.size() < (3 << 20))
        big.append(TwoDeleted);
    const QString file = writeFile(QStringLiteral("Inbox"), big);
    TScriptedPrompter prompter;
    prompter.Answers = {0};
    prompter.RunningTests = {false};
    prompter.CancelAfterBuffers = 2; // the scan takes 3 buffers and is stopped in its second
    EXPECT_EQ(RecoverMailFolder(file, prompter).Outcome, TRecoveryOutcome::Cancelled);
    EXPECT_TRUE(prompter.Log.isEmpty());
    EXPECT_TRUE(readFile(file) == big);
}

TEST_F(TempDirTest, SelectionIsAnnouncedAndRecoveredAlone)
{
    const QString file = writeFile(QStringLiteral("Inbox"), TwoDeleted);
    TScriptedPrompter prompter;
    prompter.Answers = {0};
    prompter.RunningTests = {false};
    const TRecoveryResult result = RecoverMailFolder(file, prompter, TMailSelection::Numbers({2}));
    EXPECT_EQ(result, (TRecoveryResult{TRecoveryOutcome::Recovered, 1, 2}));
    ASSERT_EQ(prompter.Messages.size(), 1);
    EXPECT_EQ(prompter.Messages[0], QStringLiteral("Mailfolder: \"Inbox\"\r\n2 deleted mails found\r\n"
                                                   "1 of them is selected\r\nStart recovery?"));
    EXPECT_EQ(readFile(file), QByteArray("From a\nX-Mozilla-Status: 0009\n\nFrom b\nX-Mozilla-Status: 0000\n"));
}

TEST_F(TempDirTest, UnknownSelectionIsRefusedBeforeAnyQuestion)
{
    const QString file = writeFile(QStringLiteral("Inbox"), TwoDeleted);
    TScriptedPrompter prompter;
    EXPECT_THROW(RecoverMailFolder(file, prompter, TMailSelection::Numbers({1, 3})), EMailSelectionError);
    EXPECT_TRUE(prompter.Log.isEmpty());
    EXPECT_EQ(readFile(file), TwoDeleted);
}

TEST_F(TempDirTest, RecoveryOfAnEarlierScanRefusesAChangedFolder)
{
    const QString file = writeFile(QStringLiteral("Inbox"), TwoDeleted);
    const TScanResult scan = ScanMailFolder(file, nullptr, TScanDetail::Summaries);
    QThread::msleep(10);
    const QByteArray changed = TwoDeleted + "From c\n";
    writeFile(QStringLiteral("Inbox"), changed);
    TScriptedPrompter prompter;
    prompter.Answers = {0};
    prompter.RunningTests = {false};
    EXPECT_THROW(RecoverScannedMailFolder(scan, prompter, TMailSelection::Numbers({1})), EMailFolderChanged);
    EXPECT_EQ(readFile(file), changed);
}

TEST_F(TempDirTest, ReadErrorsPassThrough)
{
    TScriptedPrompter prompter;
    EXPECT_THROW(RecoverMailFolder(path(QStringLiteral("missing")), prompter), EExtFileStreamError);
    EXPECT_TRUE(prompter.Log.isEmpty());
}

// The French catalogue of the programs' own texts is compiled next to the test
// program; the recovery's texts come from it.
class FrenchTexts : public ::testing::Test
{
protected:
    void SetUp() override { UseLanguage(QStringLiteral("fr")); }
    void TearDown() override
    {
        qunsetenv("LANGUAGE");
        ResetTranslationForTesting();
        UseLanguage(QString());
    }
};

TEST_F(FrenchTexts, RecoveryTextsComeFromTheDefaultDomain)
{
    EXPECT_EQ(FolderHeading(QStringLiteral("/mail/Inbox")),
              QStringLiteral("Dossier de courrier\u00a0: \u00ab\u00a0Inbox\u00a0\u00bb"));
    EXPECT_EQ(FoundCountText(1), QStringLiteral("1 message supprim\u00e9 trouv\u00e9"));
    EXPECT_EQ(RecoveredCountText(3),
              QStringLiteral("3 messages supprim\u00e9s ont \u00e9t\u00e9 r\u00e9cup\u00e9r\u00e9s"));
    EXPECT_EQ(ThunderbirdStillRunningText(),
              QStringLiteral("Thunderbird est encore ouvert - r\u00e9cup\u00e9ration interrompue\u00a0!"));
}

} // namespace
