#include "mailmend/gui/MainForm.h"

#include "GuiTestSupport.h"
#include "support/TempDir.h"

#include "mailmend/gui/ChooseMailsDlg.h"
#include "mailmend/gui/SelectProfileDlg.h"

#include <QCheckBox>
#include <QFileSystemModel>
#include <QScreen>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QTableView>
#include <QTreeView>

using namespace foundation;
using namespace mailmend;

using mailmend::TMainForm;

namespace {

class MainFormTest : public TempDirTest
{
protected:
    QString Thunderbird() const { return dir() + QStringLiteral("/tb"); }
    QString LocalFolders(const QString &profileFolder) const
    {
        return Thunderbird() + QStringLiteral("/") + profileFolder + QStringLiteral("/Mail/Local Folders");
    }

    std::unique_ptr<TMainForm> NewForm()
    {
        auto form = std::make_unique<TMainForm>(Thunderbird());
        form->SetRunningTest([](const QString &) { return false; });
        return form;
    }

    // A started window on the single profile "default", its file list showing
    // Local Folders with the given folder files.
    std::unique_ptr<TMainForm> StartedForm(const QList<QPair<QString, QByteArray>> &files)
    {
        WriteProfiles(Thunderbird(), {{QStringLiteral("default"), QStringLiteral("p.default"), true}});
        for (const auto &[name, bytes] : files)
            WriteBytes(LocalFolders(QStringLiteral("p.default")) + QStringLiteral("/") + name, bytes);
        auto form = NewForm();
        TModalScript script;
        script.Then(QStringLiteral("MessageDialog"), Press(Qt::Key_Return)).Start();
        EXPECT_TRUE(form->FormShow());
        form->show();
        form->SetTreePath(LocalFolders(QStringLiteral("p.default")));
        EXPECT_TRUE(WaitFor([&] { return ListNames(*form).size() >= files.size(); }))
            << ListNames(*form).join(u',').toStdString();
        return form;
    }

    static QTreeView *List(TMainForm &form) { return form.findChild<QTreeView *>(QStringLiteral("ShellListView")); }

    static QStringList ListNames(TMainForm &form)
    {
        QTreeView *list = List(form);
        QStringList names;
        for (int row = 0; row < list->model()->rowCount(list->rootIndex()); ++row)
            names << list->model()->index(row, 0, list->rootIndex()).data().toString();
        return names;
    }

    static void SelectNames(TMainForm &form, const QStringList &names)
    {
        QTreeView *list = List(form);
        list->clearSelection();
        for (int row = 0; row < list->model()->rowCount(list->rootIndex()); ++row) {
            const QModelIndex index = list->model()->index(row, 0, list->rootIndex());
            if (names.contains(index.data().toString()))
                list->selectionModel()->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }

    static QStringList Messages(TMainForm &form)
    {
        const QString text = form.findChild<QPlainTextEdit *>(QStringLiteral("meMessages"))->toPlainText();
        return text.isEmpty() ? QStringList() : text.split(u'\n');
    }

    static void Click(TMainForm &form, const char *name)
    {
        form.findChild<QAbstractButton *>(QString::fromLatin1(name))->click();
    }

    static bool RunEnded(TMainForm &form)
    {
        return WaitFor([&] { return !form.IsRecovering(); }, 10000);
    }
};

// --- start-up --------------------------------------------------------------

TEST_F(MainFormTest, WithoutProfilesTheWindowClosesWithoutMessage)
{
    QDir().mkpath(Thunderbird());
    auto form = NewForm();
    EXPECT_FALSE(form->FormShow());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(form->MailProfile().isEmpty());
}

TEST_F(MainFormTest, SingleProfileIsAnnouncedAsDefaultUserAndShown)
{
    WriteProfiles(Thunderbird(), {{QStringLiteral("solo"), QStringLiteral("p.solo")}});
    auto form = NewForm();
    TModalScript script;
    script.Then(QStringLiteral("MessageDialog"), Press(Qt::Key_Return)).Start();
    ASSERT_TRUE(form->FormShow());
    ASSERT_EQ(script.Answered(), 1);
    EXPECT_EQ(script.Texts().first(), QStringLiteral("Single Thunderbird profile \"Default user\" found!"));
    EXPECT_EQ(form->MailProfile(), QStringLiteral("solo"));
    EXPECT_EQ(form->findChild<QLineEdit *>(QStringLiteral("leProfile"))->text(), QStringLiteral("Default user"));
    EXPECT_EQ(form->findChild<QLineEdit *>(QStringLiteral("leMailDir"))->text(), QStringLiteral("<Thunderbird>/p.solo"));
    auto *tree = form->findChild<QTreeView *>(QStringLiteral("ShellTreeView"));
    const auto *model = static_cast<const QFileSystemModel *>(tree->model());
    EXPECT_EQ(model->filePath(tree->currentIndex()), QDir(Thunderbird() + QStringLiteral("/p.solo/Mail")).absolutePath());
    EXPECT_TRUE(tree->isExpanded(tree->currentIndex()));
}

TEST_F(MainFormTest, TwoProfilesAskFirstAndCancelEndsTheProgram)
{
    WriteProfiles(Thunderbird(), {{QStringLiteral("default"), QStringLiteral("p.default")},
                                  {QStringLiteral("work"), QStringLiteral("p.work")}});
    auto form = NewForm();
    TModalScript script;
    script.Then(QStringLiteral("SelectProfileDialog"), Press(Qt::Key_Escape)).Start();
    EXPECT_FALSE(form->FormShow());
    EXPECT_EQ(script.Answered(), 1);
}

TEST_F(MainFormTest, TwoProfilesOkTakesTheChosenOne)
{
    WriteProfiles(Thunderbird(), {{QStringLiteral("default"), QStringLiteral("p.default")},
                                  {QStringLiteral("work"), QStringLiteral("p.work")}});
    auto form = NewForm();
    TModalScript script;
    script
        .Then(QStringLiteral("SelectProfileDialog"),
              [](QWidget *dialog) {
                  dialog->findChild<QListWidget *>(QStringLiteral("lbProfiles"))->setCurrentRow(1);
                  ClickChild(QStringLiteral("OKBtn"))(dialog);
              })
        .Start();
    ASSERT_TRUE(form->FormShow());
    EXPECT_EQ(form->MailProfile(), QStringLiteral("work"));
    EXPECT_EQ(form->MailDir(), QDir(Thunderbird() + QStringLiteral("/p.work")).absolutePath());
}

TEST_F(MainFormTest, CancelOfTheProfileButtonKeepsTheProfile)
{
    WriteProfiles(Thunderbird(), {{QStringLiteral("default"), QStringLiteral("p.default")},
                                  {QStringLiteral("work"), QStringLiteral("p.work")}});
    auto form = NewForm();
    TModalScript start;
    start.Then(QStringLiteral("SelectProfileDialog"), ClickChild(QStringLiteral("OKBtn"))).Start();
    ASSERT_TRUE(form->FormShow());
    form->show();
    const QString profile = form->MailProfile();

    TModalScript later;
    later
        .Then(QStringLiteral("SelectProfileDialog"),
              [](QWidget *dialog) {
                  dialog->findChild<QListWidget *>(QStringLiteral("lbProfiles"))->setCurrentRow(1);
                  ClickChild(QStringLiteral("CancelBtn"))(dialog);
              })
        .Start();
    Click(*form, "bbProfile");
    EXPECT_EQ(later.Answered(), 1);
    EXPECT_EQ(form->MailProfile(), profile);
    EXPECT_TRUE(form->isVisible());
}

TEST_F(MainFormTest, ProfileButtonWithoutProfilesLeftSaysSoAndCloses)
{
    auto form = StartedForm({});
    QFile::remove(Thunderbird() + QStringLiteral("/profiles.ini"));
    TModalScript script;
    script.Then(QStringLiteral("MessageDialog"), Press(Qt::Key_Return)).Start();
    Click(*form, "bbProfile");
    ASSERT_EQ(script.Answered(), 1);
    EXPECT_EQ(script.Texts().first(), QStringLiteral("No Thunderbird profiles found!"));
    EXPECT_FALSE(form->isVisible());
}

TEST_F(MainFormTest, MailDirectoryThatCannotBeShownIsAnErrorAndTheWindowStays)
{
    WriteProfiles(Thunderbird(), {{QStringLiteral("default"), QStringLiteral("p.default")}});
    QDir(Thunderbird() + QStringLiteral("/p.default/Mail")).removeRecursively();
    auto form = NewForm();
    TModalScript script;
    script.Then(QStringLiteral("MessageDialog"), Press(Qt::Key_Return))
        .Then(QStringLiteral("MessageDialog"), Press(Qt::Key_Return))
        .Start();
    ASSERT_TRUE(form->FormShow());
    ASSERT_EQ(script.Answered(), 2);
    EXPECT_TRUE(script.Texts()[1].startsWith(QStringLiteral("Error setting path: \"")));
    EXPECT_EQ(form->MailProfile(), QStringLiteral("default"));
}

// --- file list -------------------------------------------------------------

TEST_F(MainFormTest, FileListShowsOnlyFilesWithoutExtensionSortedByName)
{
    auto form = StartedForm({{QStringLiteral("Trash"), "x"},
                             {QStringLiteral("Inbox"), "x"},
                             {QStringLiteral("archive"), "x"}});
    const QString folder = LocalFolders(QStringLiteral("p.default"));
    for (const char *name : {"Inbox.msf", "Trash.msf", "Some.folder", ".hidden", "notes.txt"})
        WriteBytes(folder + QStringLiteral("/") + QLatin1String(name), "x");
    QDir().mkpath(folder + QStringLiteral("/Inbox.sbd"));
    // Files written after the listing arrive through the file watcher.
    WriteBytes(folder + QStringLiteral("/Drafts"), "x");
    ASSERT_TRUE(WaitFor([&] { return ListNames(*form).size() == 4; })) << ListNames(*form).join(u',').toStdString();
    EXPECT_EQ(ListNames(*form), (QStringList{QStringLiteral("archive"), QStringLiteral("Drafts"),
                                             QStringLiteral("Inbox"), QStringLiteral("Trash")}));
}

TEST_F(MainFormTest, SelectedFilesComeInDisplayOrder)
{
    auto form = StartedForm({{QStringLiteral("b"), "x"}, {QStringLiteral("a"), "x"}, {QStringLiteral("c"), "x"}});
    SelectNames(*form, {QStringLiteral("c"), QStringLiteral("a")});
    const QString folder = QDir::toNativeSeparators(LocalFolders(QStringLiteral("p.default")));
    EXPECT_EQ(form->SelectedFolderFiles(),
              (QStringList{folder + QStringLiteral("/a"), folder + QStringLiteral("/c")}));
}

// --- recovery --------------------------------------------------------------

TEST_F(MainFormTest, ThreeFoldersOfWhichTheSecondHasNoDeletedMailsGiveTwoLines)
{
    auto form = StartedForm({{QStringLiteral("A"), MailFolderText(1, 1)},
                             {QStringLiteral("B"), MailFolderText(0, 2)},
                             {QStringLiteral("C"), MailFolderText(3, 0)}});
    SelectNames(*form, {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
    TModalScript script;
    script.Then(QStringLiteral("SelectDialog"), ClickChild(QStringLiteral("btSelect0")))
        .Then(QStringLiteral("SelectDialog"), ClickChild(QStringLiteral("btSelect0")))
        .Then(QStringLiteral("SelectDialog"), ClickChild(QStringLiteral("btSelect0")))
        .Start();
    Click(*form, "bbRecover");
    ASSERT_TRUE(RunEnded(*form));
    ASSERT_EQ(script.Answered(), 3);
    EXPECT_EQ(script.Texts()[1], QStringLiteral("Mailfolder: \"B\"\nNo deleted mails found"));
    EXPECT_EQ(Messages(*form), (QStringList{QStringLiteral("Mailfolder: \"A\" - 1 deleted mail was recovered"),
                                            QStringLiteral("Mailfolder: \"C\" - 3 deleted mails were recovered")}));
    const QString folder = LocalFolders(QStringLiteral("p.default"));
    EXPECT_FALSE(ReadBytes(folder + QStringLiteral("/A")).contains("X-Mozilla-Status: 0009"));
    EXPECT_EQ(ReadBytes(folder + QStringLiteral("/B")), MailFolderText(0, 2));
    EXPECT_EQ(ReadBytes(folder + QStringLiteral("/C")).count("X-Mozilla-Status: 0001"), 3);
}

TEST_F(MainFormTest, CancelAtTheFirstQuestionAddsNoLineAndStops)
{
    auto form = StartedForm({{QStringLiteral("A"), MailFolderText(1, 0)}, {QStringLiteral("B"), MailFolderText(1, 0)}});
    SelectNames(*form, {QStringLiteral("A"), QStringLiteral("B")});
    TModalScript script;
    script.Then(QStringLiteral("SelectDialog"), Press(Qt::Key_Escape)).Start();
    Click(*form, "bbRecover");
    ASSERT_TRUE(RunEnded(*form));
    EXPECT_EQ(script.Answered(), 1);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "no question about the second folder";
    EXPECT_TRUE(Messages(*form).isEmpty());
    const QString folder = LocalFolders(QStringLiteral("p.default"));
    EXPECT_EQ(ReadBytes(folder + QStringLiteral("/A")), MailFolderText(1, 0));
    EXPECT_EQ(ReadBytes(folder + QStringLiteral("/B")), MailFolderText(1, 0));
}

TEST_F(MainFormTest, ChooseRecoversOnlyTheCheckedMails)
{
    const QByteArray before = MailFolderText(4, 1);
    auto form = StartedForm({{QStringLiteral("Trash"), before}});
    SelectNames(*form, {QStringLiteral("Trash")});
    QStringList listed;
    TModalScript script;
    script.Then(QStringLiteral("SelectDialog"), ClickChild(QStringLiteral("btSelect2")))
        .Then(QStringLiteral("ChooseMailsDialog"),
              [&](QWidget *dialog) {
                  auto *mails = dialog->findChild<QTableView *>(QStringLiteral("lvMails"));
                  QAbstractItemModel *model = mails->model();
                  mails->sortByColumn(mailmend::TDeletedMailModel::colSubject, Qt::AscendingOrder);
                  for (int row = 0; row < model->rowCount(); ++row)
                      listed << model->index(row, mailmend::TDeletedMailModel::colSubject).data().toString();
                  // Mails 2 and 4 of the four deleted ones.
                  for (int row : {1, 3})
                      model->setData(model->index(row, 0), Qt::Checked, Qt::CheckStateRole);
                  ClickChild(QStringLiteral("btOK"))(dialog);
              })
        .Start();
    Click(*form, "bbRecover");
    ASSERT_TRUE(RunEnded(*form));
    ASSERT_EQ(script.Answered(), 2);
    EXPECT_TRUE(script.Texts()[0].startsWith(QStringLiteral("Mailfolder: \"Trash\"\n4 deleted mails found")));
    EXPECT_EQ(listed, (QStringList{QStringLiteral("Mail 1"), QStringLiteral("Mail 2"), QStringLiteral("Mail 3"),
                                   QStringLiteral("Mail 4")}));
    EXPECT_EQ(Messages(*form), QStringList{QStringLiteral("Mailfolder: \"Trash\" - 2 of 4 deleted mails were recovered")});
    // Exactly the status digits of mails 2 and 4 changed, to "1" (read).
    const QByteArray after = ReadBytes(LocalFolders(QStringLiteral("p.default")) + QStringLiteral("/Trash"));
    QByteArray expected = before;
    for (int mail : {2, 4}) {
        qsizetype at = -1;
        for (int i = 0; i < mail; ++i)
            at = before.indexOf("X-Mozilla-Status: 0009", at + 1);
        expected[at + 21] = '1';
    }
    EXPECT_EQ(after, expected);
}

TEST_F(MainFormTest, BackFromTheListAsksAgain)
{
    const QByteArray before = MailFolderText(2, 0);
    auto form = StartedForm({{QStringLiteral("Trash"), before}});
    SelectNames(*form, {QStringLiteral("Trash")});
    TModalScript script;
    script.Then(QStringLiteral("SelectDialog"), ClickChild(QStringLiteral("btSelect2")))
        .Then(QStringLiteral("ChooseMailsDialog"), Press(Qt::Key_Escape))
        .Then(QStringLiteral("SelectDialog"), ClickChild(QStringLiteral("btSelect1")))
        .Start();
    Click(*form, "bbRecover");
    ASSERT_TRUE(RunEnded(*form));
    EXPECT_EQ(script.Answered(), 3);
    EXPECT_TRUE(Messages(*form).isEmpty());
    EXPECT_EQ(ReadBytes(LocalFolders(QStringLiteral("p.default")) + QStringLiteral("/Trash")), before);
}

TEST_F(MainFormTest, EnterInTheFileListStartsTheRecoveryAndUnreadIsApplied)
{
    auto form = StartedForm({{QStringLiteral("Inbox"), MailFolderText(1, 0)}});
    SelectNames(*form, {QStringLiteral("Inbox")});
    form->findChild<QCheckBox *>(QStringLiteral("cbUnread"))->setChecked(true);
    TModalScript script;
    script.Then(QStringLiteral("SelectDialog"), ClickChild(QStringLiteral("btSelect0"))).Start();
    QTreeView *list = List(*form);
    list->setFocus();
    PressKey(list, Qt::Key_Return);
    ASSERT_TRUE(RunEnded(*form));
    EXPECT_EQ(Messages(*form), QStringList{QStringLiteral("Mailfolder: \"Inbox\" - 1 deleted mail was recovered")});
    EXPECT_TRUE(ReadBytes(LocalFolders(QStringLiteral("p.default")) + QStringLiteral("/Inbox"))
                    .contains("X-Mozilla-Status: 0000"));
}

TEST_F(MainFormTest, ThunderbirdStillRunningAbortsWithAMessage)
{
    auto form = StartedForm({{QStringLiteral("Inbox"), MailFolderText(1, 0)}});
    form->SetRunningTest([](const QString &) { return true; });
    SelectNames(*form, {QStringLiteral("Inbox")});
    TModalScript script;
    script.Then(QStringLiteral("SelectDialog"), ClickChild(QStringLiteral("btSelect0")))
        .Then(QStringLiteral("SelectDialog"), ClickChild(QStringLiteral("btSelect0")))
        .Then(QStringLiteral("MessageDialog"), Press(Qt::Key_Return))
        .Start();
    Click(*form, "bbRecover");
    ASSERT_TRUE(RunEnded(*form));
    ASSERT_TRUE(WaitFor([&] { return script.Answered() == 3; }));
    EXPECT_EQ(script.Texts()[2], QStringLiteral("Thunderbird is still running - recovery aborted!"));
    EXPECT_EQ(ReadBytes(LocalFolders(QStringLiteral("p.default")) + QStringLiteral("/Inbox")), MailFolderText(1, 0));
}

TEST_F(MainFormTest, ReadErrorIsShownAndTheWindowGoesOn)
{
    // A link whose target is gone is listed (hidden and system items are)
    // but cannot be read.
    const QString folder = LocalFolders(QStringLiteral("p.default"));
    QDir().mkpath(folder);
    ASSERT_TRUE(QFile::link(folder + QStringLiteral("/gone"), folder + QStringLiteral("/Broken")));
    auto form = StartedForm({{QStringLiteral("Inbox"), MailFolderText(1, 0)}});
    ASSERT_TRUE(WaitFor([&] { return ListNames(*form).size() == 2; })) << ListNames(*form).join(u',').toStdString();
    SelectNames(*form, {QStringLiteral("Broken"), QStringLiteral("Inbox")});
    TModalScript script;
    script.Then(QStringLiteral("MessageDialog"), Press(Qt::Key_Return)).Start();
    Click(*form, "bbRecover");
    ASSERT_TRUE(RunEnded(*form));
    ASSERT_TRUE(WaitFor([&] { return script.Answered() == 1; }));
    EXPECT_TRUE(script.Texts()[0].contains(QStringLiteral("Broken"))) << script.Texts()[0].toStdString();
    // The run ended there: Inbox, after Broken, was not asked about.
    EXPECT_EQ(ReadBytes(folder + QStringLiteral("/Inbox")), MailFolderText(1, 0));
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->findChild<QPushButton *>(QStringLiteral("bbRecover"))->isEnabled());
}

TEST_F(MainFormTest, ImapFolderIsAnnouncedAndSkippedByDefault)
{
    WriteProfiles(Thunderbird(), {{QStringLiteral("default"), QStringLiteral("p.default"), true}});
    const QString imap = Thunderbird() + QStringLiteral("/p.default/ImapMail/imap.example.org");
    WriteBytes(imap + QStringLiteral("/INBOX"), MailFolderText(1, 0));
    auto form = NewForm();
    TModalScript start;
    start.Then(QStringLiteral("MessageDialog"), Press(Qt::Key_Return)).Start();
    ASSERT_TRUE(form->FormShow());
    form->show();
    form->SetTreePath(imap);
    ASSERT_TRUE(WaitFor([&] { return ListNames(*form).size() == 1; }));
    SelectNames(*form, {QStringLiteral("INBOX")});
    TModalScript script;
    script.Then(QStringLiteral("SelectDialog"), [](QWidget *dialog) {
        // The focus is on "Skip"; Enter takes it.
        EXPECT_EQ(dialog->focusWidget()->objectName(), QStringLiteral("btSelect0"));
        PressKey(dialog, Qt::Key_Return);
    }).Start();
    Click(*form, "bbRecover");
    ASSERT_TRUE(RunEnded(*form));
    ASSERT_EQ(script.Answered(), 1);
    EXPECT_TRUE(script.Texts()[0].contains(QStringLiteral("IMAP")));
    EXPECT_TRUE(Messages(*form).isEmpty());
    EXPECT_EQ(ReadBytes(imap + QStringLiteral("/INBOX")), MailFolderText(1, 0));
}

// --- window ----------------------------------------------------------------

TEST_F(MainFormTest, DialogPositionStaysWhenTheWindowMoves)
{
    auto form = StartedForm({});
    const QPoint before = form->DialogPos();
    const auto *profileButton = form->findChild<QToolButton *>(QStringLiteral("bbProfile"));
    // Below the profile button, as it was placed before the window was shown
    // (the window system may add a frame offset of a few pixels).
    EXPECT_LE((before - profileButton->mapToGlobal(QPoint(0, profileButton->height()))).manhattanLength(), 8);

    const auto infoBoxPos = [&] {
        QPoint pos;
        TModalScript script;
        script.Then(QStringLiteral("MessageDialog"), [&](QWidget *dialog) {
            pos = dialog->pos();
            PressKey(dialog, Qt::Key_Return);
        }).Start();
        Click(*form, "bbInfo");
        EXPECT_EQ(script.Answered(), 1);
        EXPECT_TRUE(script.Texts().value(0).contains(QStringLiteral("Version"))) << script.Texts().value(0).toStdString();
        return pos;
    };
    const QPoint infoBefore = infoBoxPos();
    const QPoint buttonBefore = profileButton->mapToGlobal(QPoint(0, 0));
    form->move(form->pos() + QPoint(-30, 40));
    ASSERT_TRUE(WaitFor([&] { return profileButton->mapToGlobal(QPoint(0, 0)) != buttonBefore; }));
    EXPECT_EQ(form->DialogPos(), before);
    EXPECT_EQ(infoBoxPos(), infoBefore);
}

TEST_F(MainFormTest, TheMailDirectoryIsScrolledIntoView)
{
    auto form = StartedForm({});
    auto *tree = form->findChild<QTreeView *>(QStringLiteral("ShellTreeView"));
    // Folders sort before the temporary folder's path in the tree of the whole computer.
    const bool inView = WaitFor([&] {
        const QRect rect = tree->visualRect(tree->currentIndex());
        return rect.isValid() && tree->viewport()->rect().contains(rect.center());
    });
    EXPECT_TRUE(inView) << tree->visualRect(tree->currentIndex()).y() << " of " << tree->viewport()->height();
}

TEST_F(MainFormTest, EveryButtonHasAMnemonic)
{
    auto form = StartedForm({});
    for (const char *name : {"bbRecover", "bbInfo", "bbQuit", "cbUnread"}) {
        const QString text = form->findChild<QAbstractButton *>(QLatin1String(name))->text();
        EXPECT_TRUE(text.contains(u'&')) << name;
    }
    const QWidget *buddy = form->findChild<QLabel *>(QStringLiteral("lbProfile"))->buddy();
    ASSERT_NE(buddy, nullptr);
    EXPECT_EQ(buddy->objectName(), QStringLiteral("bbProfile"));
}

TEST_F(MainFormTest, TabOrderFollowsTheLayout)
{
    auto form = StartedForm({});
    QStringList order;
    QWidget *start = form->findChild<QWidget *>(QStringLiteral("bbProfile"));
    QWidget *widget = start;
    do {
        if (widget->isVisible() && widget->isEnabled() && (widget->focusPolicy() & Qt::TabFocus))
            order << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != start && order.size() < 20);
    EXPECT_EQ(order, (QStringList{QStringLiteral("bbProfile"), QStringLiteral("ShellTreeView"),
                                  QStringLiteral("ShellListView"), QStringLiteral("cbUnread"),
                                  QStringLiteral("bbRecover"), QStringLiteral("bbInfo"), QStringLiteral("bbQuit"),
                                  QStringLiteral("meMessages")}));
}

TEST_F(MainFormTest, QuitClosesTheWindow)
{
    auto form = StartedForm({});
    Click(*form, "bbQuit");
    EXPECT_FALSE(form->isVisible());
}

} // namespace
