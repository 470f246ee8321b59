#include "mailmend/gui/RecoveryWorker.h"

#include "GuiTestSupport.h"
#include "support/TempDir.h"

using namespace foundation;
using namespace mailmend;

using mailmend::TRecoveryWorker;
using mailmend::TRunOutcome;

namespace {

// Answers every question with a fixed button and counts them.
class TFixedAnswers : public mailmend::IRecoveryQuestions
{
public:
    int Answer = 0;
    int Asked = 0;
    bool OnUiThread = true;

    int AskChoice(const QString &, const QStringList &, int) override
    {
        ++Asked;
        OnUiThread = OnUiThread && QThread::currentThread() == QCoreApplication::instance()->thread();
        return Answer;
    }
    bool AskMails(const QString &, std::vector<mailmend::TMailRow>, std::vector<qint64> &) override
    {
        ADD_FAILURE() << "no list was asked for";
        return false;
    }
};

class RecoveryWorkerTest : public TempDirTest
{
protected:
    // A folder big enough for many progress steps (about 20 MB), the first
    // mail deleted.
    QString BigFolder() { return writeFile(QStringLiteral("Big"), MailFolderText(1, 200000)); }

    TFixedAnswers Questions;
    TRecoveryWorker Worker{Questions};
    std::optional<TRunOutcome> Outcome;
    QList<int> Progress;
    QStringList Texts;

    void SetUp() override
    {
        TempDirTest::SetUp();
        QObject::connect(&Worker, &TRecoveryWorker::Finished,
                         [this](const TRunOutcome &outcome) { Outcome = outcome; });
        QObject::connect(&Worker, &TRecoveryWorker::ProgressChanged, [this](const QString &text, int perMille) {
            Progress << perMille;
            Texts << text;
        });
    }

    bool Finished() { return WaitFor([this] { return Outcome.has_value(); }, 30000); }
};

TEST_F(RecoveryWorkerTest, ReportsProgressAsksOnTheUiThreadAndRecovers)
{
    const QString folder = BigFolder();
    QStringList lines;
    QObject::connect(&Worker, &TRecoveryWorker::LineAdded, [&](const QString &line) { lines << line; });
    ASSERT_TRUE(Worker.Start({folder}, false, [](const QString &) { return false; }));
    EXPECT_TRUE(Worker.IsRunning());
    EXPECT_FALSE(Worker.Start({folder}, false, {})) << "one run at a time";
    ASSERT_TRUE(Finished());
    EXPECT_EQ(Outcome->End, mailmend::TRunEnd::Completed);
    EXPECT_FALSE(Outcome->Failed);
    EXPECT_EQ(Questions.Asked, 1);
    EXPECT_TRUE(Questions.OnUiThread);
    EXPECT_EQ(lines, QStringList{QStringLiteral("Mailfolder: \"Big\" - 1 deleted mail was recovered")});
    ASSERT_FALSE(Progress.isEmpty());
    EXPECT_TRUE(Texts.contains(QStringLiteral("Reading \"Big\"")));
    for (int value : Progress) {
        EXPECT_GE(value, 0);
        EXPECT_LE(value, 1000);
    }
    EXPECT_FALSE(readFile(folder).contains("X-Mozilla-Status: 0009"));
}

TEST_F(RecoveryWorkerTest, CancelDuringTheScanLeavesTheFolderUntouched)
{
    const QString folder = BigFolder();
    const QByteArray before = readFile(folder);
    // Cancel once the scan is under way and has read part of the folder.
    QObject::connect(&Worker, &TRecoveryWorker::ProgressChanged, [this](const QString &text, int perMille) {
        if (text.startsWith(QStringLiteral("Reading")) && perMille > 0)
            Worker.Cancel();
    });
    ASSERT_TRUE(Worker.Start({folder}, false, [](const QString &) { return false; }));
    ASSERT_TRUE(Finished());
    EXPECT_EQ(Outcome->End, mailmend::TRunEnd::Cancelled);
    EXPECT_EQ(Questions.Asked, 0);
    ASSERT_FALSE(Progress.isEmpty());
    EXPECT_EQ(readFile(folder), before);
    EXPECT_FALSE(Worker.IsRunning());
}

TEST_F(RecoveryWorkerTest, AnErrorEndsTheRunWithItsMessage)
{
    ASSERT_TRUE(Worker.Start({path(QStringLiteral("missing"))}, false, {}));
    ASSERT_TRUE(Finished());
    EXPECT_TRUE(Outcome->Failed);
    EXPECT_TRUE(Outcome->Error.contains(QStringLiteral("missing"))) << Outcome->Error.toStdString();
}

TEST_F(RecoveryWorkerTest, DestroyingARunningWorkerCancelsAndWaits)
{
    const QString folder = BigFolder();
    const QByteArray before = readFile(folder);
    {
        TFixedAnswers questions;
        questions.Answer = 0;
        TRecoveryWorker worker(questions);
        ASSERT_TRUE(worker.Start({folder}, false, [](const QString &) { return false; }));
    }
    // Either cancelled before the question, or the question was answered
    // with Cancel: nothing written.
    EXPECT_EQ(readFile(folder), before);
}

} // namespace
