#include "mailmend/core/RecoveryRun.h"

#include "support/TempDir.h"

#include <deque>
#include <optional>

using namespace mailmend;

using namespace foundation;
using namespace mailmend;

namespace {

// Answers the questions from a script; Thunderbird never runs.
class TScriptPrompter : public TRecoveryPrompter
{
public:
    std::deque<int> Answers;
    QStringList Messages;
    QList<int> Focus;

    int Choose(const QString &message, const QStringList &buttons) override
    {
        return ChooseWithFocus(message, buttons, -1);
    }
    int ChooseWithFocus(const QString &message, const QStringList &, int focusButton) override
    {
        Messages << message;
        Focus << focusButton;
        EXPECT_FALSE(Answers.empty()) << "unexpected question: " << message.toStdString();
        if (Answers.empty())
            return -1;
        const int answer = Answers.front();
        Answers.pop_front();
        return answer;
    }
    bool IsThunderbirdRunning(const QString &) override { return false; }
    bool MarkUnread() override { return false; }
};

const QByteArray OneDeleted = "From a\nX-Mozilla-Status: 0009\n\nbody\n";

class RecoveryRunTest : public TempDirTest
{
protected:
    QStringList Lines;
    std::function<void(const QString &)> AddLine = [this](const QString &line) { Lines << line; };
};

TEST_F(RecoveryRunTest, LinesForRecoveredFoldersOnlyAndEveryFolderAnnounced)
{
    const QStringList paths{writeFile(QStringLiteral("A"), OneDeleted), writeFile(QStringLiteral("B"), "From b\n\n"),
                            writeFile(QStringLiteral("C"), OneDeleted)};
    TScriptPrompter prompter;
    prompter.Answers = {0, 0, 0};
    QStringList begun;
    const auto end = mailmend::RecoverFolderFiles(paths, prompter, AddLine,
                                                  [&](const QString &path) { begun << path; });
    EXPECT_EQ(end, mailmend::TRunEnd::Completed);
    EXPECT_EQ(begun, paths);
    EXPECT_EQ(Lines, (QStringList{QStringLiteral("Mailfolder: \"A\" - 1 deleted mail was recovered"),
                                  QStringLiteral("Mailfolder: \"C\" - 1 deleted mail was recovered")}));
}

TEST_F(RecoveryRunTest, CancelEndsTheRunBeforeTheNextFolder)
{
    const QStringList paths{writeFile(QStringLiteral("A"), OneDeleted), writeFile(QStringLiteral("B"), OneDeleted)};
    TScriptPrompter prompter;
    prompter.Answers = {-1};
    EXPECT_EQ(mailmend::RecoverFolderFiles(paths, prompter, AddLine), mailmend::TRunEnd::Cancelled);
    EXPECT_EQ(prompter.Messages.size(), 1);
    EXPECT_TRUE(Lines.isEmpty());
    EXPECT_EQ(readFile(paths[1]), OneDeleted);
}

TEST_F(RecoveryRunTest, ReadErrorPassesThroughAfterTheLinesBefore)
{
    const QStringList paths{writeFile(QStringLiteral("A"), OneDeleted), path(QStringLiteral("missing")),
                            writeFile(QStringLiteral("C"), OneDeleted)};
    TScriptPrompter prompter;
    prompter.Answers = {0};
    EXPECT_THROW(mailmend::RecoverFolderFiles(paths, prompter, AddLine), std::exception);
    EXPECT_EQ(Lines.size(), 1);
    EXPECT_EQ(readFile(paths[2]), OneDeleted);
}

struct TImapAnswerCase
{
    const char *name;
    std::initializer_list<int> answers;
    qint64 result;
    bool written;
};

class ImapAnswerTest : public RecoveryRunTest, public ::testing::WithParamInterface<TImapAnswerCase>
{
};

TEST_P(ImapAnswerTest, WarnsBeforeReadingWithSkipFocused)
{
    const TImapAnswerCase &c = GetParam();
    QDir().mkpath(path(QStringLiteral("ImapMail/imap.example.org")));
    const QString folder = writeFile(QStringLiteral("ImapMail/imap.example.org/INBOX"), OneDeleted);
    TScriptPrompter prompter;
    prompter.Answers = c.answers;
    EXPECT_EQ(mailmend::RecoverFolderFile(folder, prompter).Code(), c.result);
    ASSERT_FALSE(prompter.Messages.isEmpty());
    EXPECT_TRUE(prompter.Messages.first().contains(QStringLiteral("IMAP")));
    EXPECT_EQ(prompter.Focus.first(), 0);
    EXPECT_EQ(readFile(folder) != OneDeleted, c.written);
}

constexpr TImapAnswerCase ImapAnswerCases[] = {
    {"Skip", {0}, RecoverySkipped, false},
    {"Cancel", {-1}, RecoveryCancelled, false},
    {"RecoverAnyway", {1, 0}, 1, true},
};

INSTANTIATE_TEST_SUITE_P(Answers, ImapAnswerTest, ::testing::ValuesIn(ImapAnswerCases),
                         [](const auto &info) { return std::string(info.param.name); });

// --- choosing the mails ------------------------------------------------------

// Answers the questions from a script and picks mails from the list.
class TChoosingPrompter : public TScriptPrompter
{
public:
    std::deque<std::optional<std::vector<qint64>>> Picks; // nullopt: back to the question
    QList<qint64> ListedCounts;
    QStringList Subjects;

    bool CanChooseMails() const override { return true; }
    bool ChooseMails(const mailmend::TScanResult &scan, mailmend::TMailSelection &selection) override
    {
        ListedCounts << scan.DeletedCount();
        for (const mailmend::TMailSummary &summary : scan.Summaries)
            Subjects << summary.Subject;
        EXPECT_FALSE(Picks.empty());
        if (Picks.empty() || !Picks.front()) {
            if (!Picks.empty())
                Picks.pop_front();
            return false;
        }
        selection = mailmend::TMailSelection::Numbers(*Picks.front());
        Picks.pop_front();
        return true;
    }
};

QByteArray ThreeDeleted()
{
    QByteArray text;
    for (int i = 1; i <= 3; ++i)
        text += "From x\nX-Mozilla-Status: 0009\nSubject: Mail " + QByteArray::number(i) + "\n\nbody\n";
    return text;
}

TEST_F(RecoveryRunTest, ChooseRecoversOnlyTheCheckedMailsAndSaysHowManyOfHowMany)
{
    const QString folder = writeFile(QStringLiteral("Inbox"), ThreeDeleted());
    TChoosingPrompter prompter;
    prompter.Answers = {2};
    prompter.Picks = {std::vector<qint64>{2}};
    EXPECT_EQ(mailmend::RecoverFolderFiles({folder}, prompter, AddLine), mailmend::TRunEnd::Completed);
    EXPECT_EQ(prompter.Subjects, (QStringList{QStringLiteral("Mail 1"), QStringLiteral("Mail 2"), QStringLiteral("Mail 3")}));
    EXPECT_EQ(Lines, QStringList{QStringLiteral("Mailfolder: \"Inbox\" - 1 of 3 deleted mails was recovered")});
    const QByteArray after = readFile(folder);
    EXPECT_EQ(after.count("X-Mozilla-Status: 0009"), 2);
    EXPECT_EQ(after.indexOf("X-Mozilla-Status: 0001"), ThreeDeleted().indexOf("X-Mozilla-Status: 0009", 30));
}

TEST_F(RecoveryRunTest, BackFromTheListAsksAgainAndSkipWritesNothing)
{
    const QString folder = writeFile(QStringLiteral("Inbox"), ThreeDeleted());
    TChoosingPrompter prompter;
    prompter.Answers = {2, 1};
    prompter.Picks = {std::nullopt};
    EXPECT_EQ(mailmend::RecoverFolderFiles({folder}, prompter, AddLine), mailmend::TRunEnd::Completed);
    EXPECT_EQ(prompter.Messages.size(), 2);
    EXPECT_TRUE(Lines.isEmpty());
    EXPECT_EQ(readFile(folder), ThreeDeleted());
}

} // namespace
