#include "dialogs/ShellDirDlg.h"

#include "dialogs/HListBox.h"
#include "dialogs/SelectDlg.h"
#include "foundation/IniFile.h"
#include "foundation/LangUtils.h"
#include "foundation/PathUtils.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGuiApplication>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <functional>

using namespace foundation;
using namespace dialogs;

// --- history -----------------------------------------------------------------

TEST(DirHistory, NewFolderGoesOnTopAndASpellingChangeReplacesIt)
{
    QStringList history{"/old"};
    AddDirHistory(history, "C:\\Data");
    EXPECT_EQ(history, QStringList({"C:\\Data", "/old"}));
    AddDirHistory(history, "c:\\data");
    EXPECT_EQ(history, QStringList({"c:\\data", "/old"}));
    AddDirHistory(history, "/OLD");
    EXPECT_EQ(history, QStringList({"/OLD", "c:\\data"}));
    AddDirHistory(history, QString());
    EXPECT_EQ(history, QStringList({"/OLD", "c:\\data"}));
}

TEST(DirHistory, SixteenthFolderPushesOutTheOldest)
{
    QStringList history;
    for (int i = 1; i <= 15; ++i)
        AddDirHistory(history, QStringLiteral("/f%1").arg(i));
    ASSERT_EQ(history.size(), 15);
    EXPECT_EQ(history.last(), "/f1");
    AddDirHistory(history, "/f16");
    EXPECT_EQ(history.size(), 15);
    EXPECT_EQ(history.first(), "/f16");
    EXPECT_EQ(history.last(), "/f2");
    AddDirHistory(history, "/F2"); // present: moves up, nothing drops out
    EXPECT_EQ(history.size(), 15);
    EXPECT_EQ(history.first(), "/F2");
    EXPECT_EQ(history.last(), "/f3");
}

TEST(DirHistory, RemoveIgnoresCase)
{
    QStringList history{"/a", "/b", "/c"};
    RemoveDirHistory(history, "/B");
    EXPECT_EQ(history, QStringList({"/a", "/c"}));
    RemoveDirHistory(history, "/x");
    EXPECT_EQ(history, QStringList({"/a", "/c"}));
}

// --- small rules -------------------------------------------------------------

TEST(ShellDirRules, FileColumnsShareTheListWidth)
{
    EXPECT_EQ(FileColumnChars(100), QList<int>({52, 12, 15, 17}));
    EXPECT_EQ(FileColumnChars(56), QList<int>({8, 12, 15, 17}));
    EXPECT_EQ(FileColumnChars(20), QList<int>({8, 12, 15, 17})) << "a narrow list keeps a name column";
}

TEST(ShellDirRules, StartFolder)
{
    const auto exists = [](const QString &path) { return path == "/there" || path == "/home/u"; };
    auto start = ResolveStartFolder("/there", "/home/u", exists, "/docs", "/cwd");
    EXPECT_EQ(start.path, "/there");
    EXPECT_EQ(start.root, TRootFolder::Computer);

    start = ResolveStartFolder("", "/home/u", exists, "/docs", "/cwd");
    EXPECT_EQ(start.path, "/home/u") << "empty: the default folder";

    start = ResolveStartFolder("/gone", "/home/u", exists, "/docs", "/cwd");
    EXPECT_EQ(start.path, "/docs");
    EXPECT_EQ(start.root, TRootFolder::Computer);

    start = ResolveStartFolder("", "", exists, "", "/cwd");
    EXPECT_EQ(start.path, "/cwd");
}

TEST(ShellDirRules, NetworkPaths)
{
#ifdef _WIN32
    const auto exists = [](const QString &) { return true; };
    const auto start = ResolveStartFolder("\\\\server\\share", "", exists, "C:\\Docs", "C:\\");
    EXPECT_EQ(start.root, TRootFolder::Network);
    EXPECT_EQ(NetworkShareRoot("\\\\server\\share\\dir\\sub"), "\\\\server\\share");
    EXPECT_EQ(NetworkShareRoot("\\\\server"), "");
    EXPECT_FALSE(IsNetworkPath("C:\\x"));
#else
    EXPECT_FALSE(IsNetworkPath("//server/share"));
    EXPECT_EQ(NetworkShareRoot("//server/share"), "");
#endif
}

TEST(ShellDirRules, FolderUpSteps)
{
    auto step = FolderUpStep(TRootFolder::Computer, false, "/a/b", "/a");
    EXPECT_FALSE(step.rootToComputer);
    EXPECT_EQ(step.path, "/a");

    step = FolderUpStep(TRootFolder::Computer, true, "/", "");
    EXPECT_FALSE(step.rootToComputer);
    EXPECT_EQ(step.path, "");

    step = FolderUpStep(TRootFolder::Desktop, true, "/home/u/Desktop", "");
    EXPECT_TRUE(step.rootToComputer);
    EXPECT_EQ(step.path, "/home/u/Desktop");

    step = FolderUpStep(TRootFolder::Documents, false, QStringLiteral("/home/u/Documents/x/y").replace(u'/', PathDelim),
                        "ignored");
    EXPECT_TRUE(step.rootToComputer);
    EXPECT_EQ(step.path, QStringLiteral("/home/u/Documents/x").replace(u'/', PathDelim));
}

class FreeSpace : public TempDirTest
{
};

TEST_F(FreeSpace, TextForAReadableDriveAndNoneOtherwise)
{
    const QString text = FreeSpaceTextOf(dir());
    EXPECT_TRUE(text.contains(" free of ")) << text.toStdString();
    EXPECT_EQ(FreeSpaceTextOf(path("missing/deeper")), "");
    EXPECT_EQ(FreeSpaceTextOf(""), "");
    EXPECT_EQ(FreeSpaceText(-1, 100), "");
    EXPECT_TRUE(FreeSpaceText(0, 1024).endsWith(" free of 1.00 KiB")) << FreeSpaceText(0, 1024).toStdString();
}

// --- settings section --------------------------------------------------------

class ShellDirSettings : public TempDirTest
{
protected:
    QString IniName() const { return path("settings.ini"); }
};

TEST_F(ShellDirSettings, SectionHoldsExactlyTheKeysAfterSaving)
{
    TIniFile ini(IniName());
    ini.WriteString("Dirs", "Stale", "from an old version");
    ini.WriteString("Dirs", "History9", "/old");

    TShellDirSettings settings;
    settings.history = {"/a", "/b"};
    settings.top = 10;
    settings.left = 20;
    settings.height = 300;
    settings.dirWidth = 400;
    settings.fileWidth = 350;
    settings.fileView = true;
    ASSERT_TRUE(SaveShellDirSettings(IniName(), "Dirs", settings));
    EXPECT_EQ(ini.ReadSection("Dirs"), QStringList({"History0", "History1", "Top", "Left", "Height",
                                                     "DirWidth", "FileWidth", "Fileview"}));
    EXPECT_EQ(ini.ReadString("Dirs", "Fileview", ""), "1");

    TShellDirSettings loaded;
    ASSERT_TRUE(LoadShellDirSettings(IniName(), "Dirs", loaded));
    EXPECT_EQ(loaded.history, settings.history);
    EXPECT_EQ(loaded.top, 10);
    EXPECT_EQ(loaded.left, 20);
    EXPECT_EQ(loaded.height, 300);
    EXPECT_EQ(loaded.dirWidth, 400);
    EXPECT_EQ(loaded.fileWidth, 350);
    EXPECT_TRUE(loaded.fileView);
}

TEST_F(ShellDirSettings, MissingKeysKeepTheCurrentValues)
{
    TIniFile ini(IniName());
    ini.WriteString("Dirs", "History0", "/x");
    ini.WriteString("Dirs", "History20", "/beyond");
    TShellDirSettings settings;
    settings.top = 5;
    settings.left = 6;
    settings.height = 7;
    settings.dirWidth = 8;
    settings.fileWidth = 9;
    settings.fileView = true;
    ASSERT_TRUE(LoadShellDirSettings(IniName(), "Dirs", settings));
    EXPECT_EQ(settings.history, QStringList({"/x"}));
    EXPECT_EQ(settings.top, 0) << "a missing Top reads as 0, which centres the window";
    EXPECT_EQ(settings.left, 6);
    EXPECT_EQ(settings.height, 7);
    EXPECT_EQ(settings.dirWidth, 8);
    EXPECT_EQ(settings.fileWidth, 9);
    EXPECT_FALSE(settings.fileView);

    EXPECT_FALSE(LoadShellDirSettings(path("none.ini"), "Dirs", settings));
    EXPECT_FALSE(LoadShellDirSettings(IniName(), "", settings));
}

// --- the dialog on the offscreen platform ---------------------------------------

namespace {

// Waits for a modal widget that `match` accepts and hands it to `act`. A
// widget that never comes ends the waiting after a few seconds and rejects
// whatever modal widget is open, so that a failing test does not hang.
void WhenModal(const std::function<bool(QWidget *)> &match, const std::function<void(QWidget *)> &act)
{
    auto *timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [=] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal && match(modal)) {
            timer->stop();
            timer->deleteLater();
            act(modal);
        } else if (++*tries > 500) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "the expected modal window did not open";
            if (auto *dialog = qobject_cast<QDialog *>(modal))
                dialog->reject();
        }
    });
    timer->start();
}

// The buttons of the delete question, in their order.
enum TDeleteAnswer { DeleteDefinitely = 0, DeleteToRecycleBin = 1 };

// Answers the coming delete question with one of its buttons and then the
// message box that reports the outcome, whose text lands in `info`.
void AnswerDeleteQuestion(TDeleteAnswer answer, QString &info)
{
    WhenModal([](QWidget *m) { return qobject_cast<TSelectDialog *>(m) != nullptr; },
              [answer, &info](QWidget *m) {
                  auto *select = static_cast<TSelectDialog *>(m);
                  ASSERT_GE(select->Buttons().size(), 2);
                  WhenModal([](QWidget *box) { return qobject_cast<QMessageBox *>(box) != nullptr; },
                            [&info](QWidget *box) {
                                info = static_cast<QMessageBox *>(box)->text();
                                static_cast<QMessageBox *>(box)->accept();
                            });
                  select->Buttons()[answer]->click();
              });
}

bool IsFolderDialog(QWidget *w)
{
    return w->objectName() == "ShellDirDialog";
}

template <typename T> T *Find(QWidget *dialog, const char *name)
{
    T *child = dialog->findChild<T *>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
}

QString Native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

class FolderDialog : public TempDirTest
{
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        QDir().mkpath(path("alpha/inner"));
        QDir().mkpath(path("beta"));
        writeFile("alpha/file.txt", "x");
    }
};

TEST_F(FolderDialog, OkReturnsTheFolderWithASeparatorAndRemembersIt)
{
    TShellDirDialog dialog;
    QString chosen;
    WhenModal(IsFolderDialog, [&](QWidget *w) {
        auto *combo = Find<THistoryCombo>(w, "cbxSelectedDir");
        chosen = combo->currentText();
        EXPECT_TRUE(Find<QPushButton>(w, "btbOK")->isEnabled());
        Find<QPushButton>(w, "btbOK")->click();
    });
    QString dir = path("alpha");
    ASSERT_TRUE(dialog.Execute("Pick", false, false, false, QString(), dir));
    EXPECT_EQ(chosen, Native(path("alpha")));
    EXPECT_EQ(dir, Native(path("alpha")) + PathDelim);
    EXPECT_EQ(dialog.DirList(), QStringList({Native(path("alpha"))}));

    // A typed folder counts as chosen; the history shows in the drop-down.
    WhenModal(IsFolderDialog, [&](QWidget *w) {
        auto *combo = Find<THistoryCombo>(w, "cbxSelectedDir");
        EXPECT_TRUE(combo->HasDropDown());
        EXPECT_EQ(combo->count(), 1);
        combo->setEditText(Native(path("beta")));
        Find<QPushButton>(w, "btbOK")->click();
    });
    ASSERT_TRUE(dialog.Execute("Pick", false, false, false, QString(), dir));
    EXPECT_EQ(dir, Native(path("beta")) + PathDelim);
    EXPECT_EQ(dialog.DirList(), QStringList({Native(path("beta")), Native(path("alpha"))}));
}

TEST_F(FolderDialog, TreeSelectionFillsTheFieldAndEnterConfirms)
{
    TShellDirDialog dialog;
    WhenModal(IsFolderDialog, [&](QWidget *w) {
        auto &d = static_cast<TShellDirDialog &>(*w);
        EXPECT_TRUE(d.SetTreePath(path("alpha/inner")));
        EXPECT_EQ(Find<THistoryCombo>(w, "cbxSelectedDir")->currentText(), Native(path("alpha/inner")));
        EXPECT_FALSE(Find<QLabel>(w, "laVolHint")->text().isEmpty());
        auto *tree = Find<QTreeView>(w, "ShellTreeView");
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(tree, &enter);
    });
    QString dir = path("alpha");
    ASSERT_TRUE(dialog.Execute("Pick", false, false, false, QString(), dir));
    EXPECT_EQ(dir, Native(path("alpha/inner")) + PathDelim);
    EXPECT_EQ(dialog.DirList().value(0), Native(path("alpha/inner")));
}

TEST_F(FolderDialog, CancelAndAMissingFolderReturnNothing)
{
    TShellDirDialog dialog;
    WhenModal(IsFolderDialog, [&](QWidget *w) {
        auto *combo = Find<THistoryCombo>(w, "cbxSelectedDir");
        combo->setEditText(Native(path("nowhere")));
        EXPECT_FALSE(Find<QPushButton>(w, "btbOK")->isEnabled());
        // Enter does not confirm a folder that does not exist.
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(combo, &enter);
        EXPECT_TRUE(w->isVisible());
        Find<QPushButton>(w, "btbCancel")->click();
    });
    QString dir = path("beta");
    EXPECT_FALSE(dialog.Execute("Pick", false, false, false, QString(), dir));
    EXPECT_EQ(dir, path("beta"));
    EXPECT_TRUE(dialog.DirList().isEmpty());
}

TEST_F(FolderDialog, HomeButtonHiddenWithoutDefaultAndReportsAMissingOne)
{
    TShellDirDialog dialog;
    WhenModal(IsFolderDialog, [&](QWidget *w) {
        EXPECT_FALSE(Find<QToolButton>(w, "spbHome")->isVisible());
        Find<QPushButton>(w, "btbOK")->click();
    });
    QString dir = path("beta");
    ASSERT_TRUE(dialog.Execute("Pick", false, false, false, QString(), dir));

    // The default folder is in the history, then disappears.
    const QString home = path("beta");
    dir = home;
    WhenModal(IsFolderDialog, [&](QWidget *w) { Find<QPushButton>(w, "btbOK")->click(); });
    ASSERT_TRUE(dialog.Execute("Pick", false, false, false, home, dir));
    ASSERT_TRUE(dialog.DirList().contains(Native(home)));
    ASSERT_TRUE(QDir(home).removeRecursively());

    QString message;
    WhenModal(IsFolderDialog, [&](QWidget *w) {
        auto *homeButton = Find<QToolButton>(w, "spbHome");
        EXPECT_TRUE(homeButton->isVisible());
        EXPECT_TRUE(homeButton->toolTip().endsWith(Native(home)));
        WhenModal([](QWidget *m) { return qobject_cast<QMessageBox *>(m) != nullptr; },
                  [&](QWidget *m) {
                      message = static_cast<QMessageBox *>(m)->text();
                      static_cast<QMessageBox *>(m)->accept();
                  });
        homeButton->click();
        static_cast<QDialog *>(w)->reject();
    });
    dir = path("alpha");
    EXPECT_FALSE(dialog.Execute("Pick", false, false, false, Native(home), dir));
    EXPECT_TRUE(message.startsWith("Directory not found:")) << message.toStdString();
    EXPECT_TRUE(message.contains(Native(home)));
    EXPECT_FALSE(dialog.DirList().contains(Native(home)));
}

TEST_F(FolderDialog, ShowFilesWidensToTheFilePanelAndBack)
{
    TShellDirDialog dialog;
    WhenModal(IsFolderDialog, [&](QWidget *w) {
        auto *files = Find<QCheckBox>(w, "cbxFiles");
        auto *left = Find<QWidget>(w, "PanelLeft");
        auto *right = Find<QWidget>(w, "PanelRight");
        auto *splitter = Find<QSplitter>(w, "Splitter");
        EXPECT_TRUE(files->isVisible());
        EXPECT_FALSE(right->isVisible());
        EXPECT_EQ(w->width(), left->width());
        const int narrow = w->width();

        files->click();
        QApplication::processEvents();
        EXPECT_TRUE(right->isVisible());
        EXPECT_EQ(w->width(), left->width() + splitter->handleWidth() + right->width());
        EXPECT_EQ(left->width(), narrow);
        EXPECT_EQ(right->geometry().right() + 1, w->width());

        files->click();
        QApplication::processEvents();
        EXPECT_FALSE(right->isVisible());
        EXPECT_EQ(w->width(), narrow);
        static_cast<QDialog *>(w)->reject();
    });
    QString dir = path("alpha");
    dialog.Execute("Pick", false, true, false, QString(), dir);

    WhenModal(IsFolderDialog, [&](QWidget *w) {
        EXPECT_FALSE(Find<QCheckBox>(w, "cbxFiles")->isVisible());
        EXPECT_FALSE(Find<QWidget>(w, "PanelRight")->isVisible());
        static_cast<QDialog *>(w)->reject();
    });
    dialog.Execute("Pick", false, false, false, QString(), dir);
}

TEST_F(FolderDialog, CreateFolderSelectsTheNewFolder)
{
    TShellDirDialog dialog;
    WhenModal(IsFolderDialog, [&](QWidget *w) {
        WhenModal([](QWidget *m) { return m->objectName() == "NewFolderInput"; },
                  [&](QWidget *m) {
                      auto *input = static_cast<QInputDialog *>(m);
                      EXPECT_EQ(input->windowTitle(), Native(path("beta")));
                      input->setTextValue("made/deeper");
                      input->accept();
                  });
        Find<QToolButton>(w, "spbNew")->click();
        EXPECT_EQ(static_cast<TShellDirDialog *>(w)->TreePath(), Native(path("beta/made/deeper")));
        Find<QPushButton>(w, "btbOK")->click();
    });
    QString dir = path("beta");
    ASSERT_TRUE(dialog.Execute("Pick", false, false, false, QString(), dir));
    EXPECT_TRUE(QFileInfo(path("beta/made/deeper")).isDir());
    EXPECT_EQ(dir, Native(path("beta/made/deeper")) + PathDelim);
}

TEST_F(FolderDialog, CreateFolderThatCannotBeMadeIsReported)
{
    writeFile("beta/blocker", "a file where the new folder's parent would be");
    TShellDirDialog dialog;
    QString message;
    WhenModal(IsFolderDialog, [&](QWidget *w) {
        WhenModal([](QWidget *m) { return m->objectName() == "NewFolderInput"; },
                  [&](QWidget *m) {
                      WhenModal([](QWidget *box) { return qobject_cast<QMessageBox *>(box) != nullptr; },
                                [&](QWidget *box) {
                                    message = static_cast<QMessageBox *>(box)->text();
                                    static_cast<QMessageBox *>(box)->accept();
                                });
                      auto *input = static_cast<QInputDialog *>(m);
                      input->setTextValue("blocker/sub");
                      input->accept();
                  });
        Find<QToolButton>(w, "spbNew")->click();
        EXPECT_EQ(static_cast<TShellDirDialog *>(w)->TreePath(), Native(path("beta")));
        static_cast<QDialog *>(w)->reject();
    });
    QString dir = path("beta");
    EXPECT_FALSE(dialog.Execute("Pick", false, false, false, QString(), dir));
    EXPECT_EQ(message, "Could not create directory:\n" + Native(path("beta")) + PathDelim +
                           "blocker/sub!");
}

TEST_F(FolderDialog, DeleteDefinitelyRemovesTheFolderAndGoesUp)
{
    writeFile("alpha/inner/more.txt", "y");
    TShellDirDialog dialog;
    QString info;
    WhenModal(IsFolderDialog, [&](QWidget *w) {
        AnswerDeleteQuestion(DeleteDefinitely, info);
        Find<QMenu>(w, "PopupMenu")->findChild<QAction *>("miDelete")->trigger();
        EXPECT_EQ(static_cast<TShellDirDialog *>(w)->TreePath(), Native(dir()));
        static_cast<QDialog *>(w)->reject();
    });
    QString start = path("alpha");
    dialog.Execute("Pick", false, false, false, QString(), start);
    EXPECT_FALSE(QFileInfo::exists(path("alpha")));
    EXPECT_EQ(info, "2 directories with 2 files deleted!");
}

#ifdef __linux__
// A folder that cannot be deleted completely (here: it holds a mount, which
// is never entered) ends with the error message and no success message.
TEST_F(FolderDialog, DeleteDefinitelyThatFailsIsReported)
{
    writeFile("elsewhere/keep.txt", "precious");
    QDir().mkpath(path("alpha/mounted"));
    if (QProcess::execute("mount", {"--bind", path("elsewhere"), path("alpha/mounted")}) != 0)
        GTEST_SKIP() << "no right to mount";
    TShellDirDialog dialog;
    QStringList messages;
    WhenModal(IsFolderDialog, [&](QWidget *w) {
        WhenModal([](QWidget *m) { return qobject_cast<TSelectDialog *>(m) != nullptr; },
                  [&](QWidget *m) {
                      WhenModal([](QWidget *box) { return qobject_cast<QMessageBox *>(box) != nullptr; },
                                [&](QWidget *box) {
                                    messages << static_cast<QMessageBox *>(box)->text();
                                    static_cast<QMessageBox *>(box)->accept();
                                });
                      static_cast<TSelectDialog *>(m)->Buttons()[0]->click(); // "Definitely"
                  });
        Find<QMenu>(w, "PopupMenu")->findChild<QAction *>("miDelete")->trigger();
        static_cast<QDialog *>(w)->reject();
    });
    QString start = path("alpha");
    dialog.Execute("Pick", false, false, false, QString(), start);
    QProcess::execute("umount", {path("alpha/mounted")});
    EXPECT_EQ(messages, QStringList({"Error deleting directory:\n" + path("alpha") + "!"}));
    EXPECT_EQ(readFile(path("elsewhere/keep.txt")), "precious");
    EXPECT_FALSE(QFileInfo::exists(path("alpha/file.txt")));
}
#endif

TEST_F(FolderDialog, SettingsSurviveTheDialog)
{
    const QString ini = path("dialog.ini");
    {
        TShellDirDialog dialog;
        dialog.LoadFromIni(ini, "FolderDialog");
        WhenModal(IsFolderDialog, [&](QWidget *w) { Find<QPushButton>(w, "btbOK")->click(); });
        QString dir = path("alpha");
        ASSERT_TRUE(dialog.Execute("Pick", false, true, false, QString(), dir));
        dialog.ResetPosition();
    }
    TIniFile settings(ini);
    EXPECT_EQ(settings.ReadSection("FolderDialog"),
              QStringList({"History0", "Top", "Left", "Height", "DirWidth", "FileWidth", "Fileview"}));
    EXPECT_EQ(settings.ReadString("FolderDialog", "History0", ""), Native(path("alpha")));
    EXPECT_EQ(settings.ReadInteger("FolderDialog", "Top", -1), 50);
    EXPECT_EQ(settings.ReadInteger("FolderDialog", "Left", -1), 50);

    settings.WriteInteger("FolderDialog", "Top", 0);
    settings.WriteInteger("FolderDialog", "Height", 444);
    settings.WriteBool("FolderDialog", "Fileview", true);
    TShellDirDialog again;
    again.LoadFromIni(ini, "FolderDialog");
    EXPECT_EQ(again.DirList(), QStringList({Native(path("alpha"))}));
    EXPECT_EQ(again.height(), 444);
    EXPECT_TRUE(again.findChild<QCheckBox *>("cbxFiles")->isChecked());
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(again.y(), (screen.height() - again.height()) / 2) << "Top 0 centres the window";
}

class FolderDialogGerman : public ::testing::Test
{
protected:
    void SetUp() override { UseLanguage("de"); }
    void TearDown() override
    {
        // An empty code would leave German active for the tests that follow.
        ResetTranslationForTesting();
        UseLanguage("en");
    }
};

TEST_F(FolderDialogGerman, TextsAreTranslatedWhenCreated)
{
    TShellDirDialog dialog;
    EXPECT_EQ(dialog.findChild<QToolButton *>("spbMyFiles")->text(), "Dokumente");
    EXPECT_EQ(dialog.findChild<QCheckBox *>("cbxFiles")->text(), "Dateien anzeigen");
    EXPECT_EQ(dialog.findChild<QToolButton *>("spbUp")->toolTip(), "Einen Ordner nach oben");
    EXPECT_EQ(dialog.findChild<QPushButton *>("btbCancel")->text(), "Abbrechen");
    EXPECT_EQ(dialog.findChild<QAction *>("miDelete")->text(), "Ordner löschen");
    EXPECT_TRUE(FreeSpaceText(0, 0).contains(" frei von "));
}

namespace {

// Waits (running the event loop) until done() holds or a few seconds passed.
bool WaitFor(const std::function<bool()> &done)
{
    for (int i = 0; i < 300 && !done(); ++i) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(10);
    }
    return done();
}

QStringList ListedFiles(QTreeView *list)
{
    QStringList names;
    const QModelIndex root = list->rootIndex();
    for (int row = 0; row < list->model()->rowCount(root); ++row)
        names.append(list->model()->index(row, 0, root).data().toString());
    names.sort();
    return names;
}

} // namespace

TEST_F(FolderDialog, FileListShowsTheFilesOfTheTreesFolder)
{
    writeFile("alpha/.secret", "s");
    TShellDirDialog dialog;
    for (const bool hidden : {false, true}) {
        QStringList listed;
        WhenModal(IsFolderDialog, [&](QWidget *w) {
            auto *files = Find<QCheckBox>(w, "cbxFiles");
            if (!files->isChecked())
                files->click();
            auto *list = Find<QTreeView>(w, "ShellListView");
            const int expected = hidden ? 2 : 1;
            WaitFor([&] { return list->model()->rowCount(list->rootIndex()) >= expected; });
            listed = ListedFiles(list);
            static_cast<QDialog *>(w)->reject();
        });
        QString dir = path("alpha");
        dialog.Execute("Pick", hidden, true, false, QString(), dir);
        if (hidden)
            EXPECT_EQ(listed, QStringList({".secret", "file.txt"}));
        else
            EXPECT_EQ(listed, QStringList({"file.txt"})) << "no folders, no hidden files";
    }
}

class FolderDialogRoots : public FolderDialog
{
protected:
    void SetUp() override
    {
        FolderDialog::SetUp();
        FOldHome = qgetenv("HOME");
        FOldDataHome = qgetenv("XDG_DATA_HOME");
        qputenv("HOME", QFile::encodeName(dir()));
        qunsetenv("XDG_DATA_HOME");
        QDir().mkpath(path("Documents/letters/2026"));
        QDir().mkpath(path("Desktop"));
    }
    void TearDown() override
    {
        qputenv("HOME", FOldHome);
        if (!FOldDataHome.isEmpty())
            qputenv("XDG_DATA_HOME", FOldDataHome);
    }

    QByteArray FOldHome;
    QByteArray FOldDataHome;
};

TEST_F(FolderDialogRoots, RootButtonsShowOneFolderAndUpLeadsBackToTheComputer)
{
    if (QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) != path("Documents"))
        GTEST_SKIP() << "the documents folder does not follow HOME here";
    TShellDirDialog dialog;
    WhenModal(IsFolderDialog, [&](QWidget *w) {
        auto &d = static_cast<TShellDirDialog &>(*w);
        auto *tree = Find<QTreeView>(w, "ShellTreeView");
        Find<QToolButton>(w, "spbMyFiles")->click();
        EXPECT_EQ(d.Root(), TRootFolder::Documents);
        ASSERT_EQ(tree->model()->rowCount(tree->rootIndex()), 1) << "the root folder is the only top node";
        EXPECT_EQ(tree->model()->index(0, 0, tree->rootIndex()).data().toString(), "Documents");
        EXPECT_FALSE(d.SetTreePath(path("alpha"))) << "outside the root";
        ASSERT_TRUE(d.SetTreePath(path("Documents/letters/2026")));

        Find<QToolButton>(w, "spbUp")->click();
        EXPECT_EQ(d.Root(), TRootFolder::Computer);
        EXPECT_TRUE(Find<QToolButton>(w, "spbComputer")->isChecked());
        EXPECT_EQ(d.TreePath(), Native(path("Documents/letters")));
        Find<QToolButton>(w, "spbUp")->click();
        EXPECT_EQ(d.TreePath(), Native(path("Documents")));

        Find<QToolButton>(w, "spbDesktop")->click();
        EXPECT_EQ(d.Root(), TRootFolder::Desktop);
        EXPECT_EQ(d.TreePath(), Native(path("Desktop"))) << "the root folder is selected";
        EXPECT_EQ(Find<THistoryCombo>(w, "cbxSelectedDir")->currentText(), Native(path("Desktop")));
        Find<QToolButton>(w, "spbUp")->click();
        EXPECT_EQ(d.Root(), TRootFolder::Computer);
        EXPECT_EQ(d.TreePath(), Native(path("Desktop")));
        static_cast<QDialog *>(w)->reject();
    });
    QString start = path("beta");
    dialog.Execute("Pick", false, false, false, QString(), start);
}

TEST_F(FolderDialogRoots, DeleteToTheRecycleBin)
{
    TShellDirDialog dialog;
    QString info;
    WhenModal(IsFolderDialog, [&](QWidget *w) {
        AnswerDeleteQuestion(DeleteToRecycleBin, info);
        Find<QMenu>(w, "PopupMenu")->findChild<QAction *>("miDelete")->trigger();
        static_cast<QDialog *>(w)->reject();
    });
    QString start = path("alpha/inner");
    dialog.Execute("Pick", false, false, false, QString(), start);
    EXPECT_EQ(info.toStdString(), (Native(path("alpha/inner")) + " moved to Recycle Bin!").toStdString());
    EXPECT_FALSE(QFileInfo::exists(path("alpha/inner")));
    EXPECT_TRUE(QFileInfo::exists(path("alpha/file.txt")));
#ifdef __linux__
    EXPECT_TRUE(QFileInfo(path(".local/share/Trash/files/inner")).isDir());
#endif
}

TEST_F(FolderDialog, CancelledDeleteQuestionKeepsTheFolder)
{
    TShellDirDialog dialog;
    WhenModal(IsFolderDialog, [&](QWidget *w) {
        WhenModal([](QWidget *m) { return qobject_cast<TSelectDialog *>(m) != nullptr; },
                  [&](QWidget *m) {
                      auto *select = static_cast<TSelectDialog *>(m);
                      EXPECT_EQ(select->windowTitle(), "Delete directory");
                      EXPECT_EQ(Find<QLabel>(m, "stCaption")->text(),
                                "Delete \"" + Native(path("alpha")) + "\"");
                      QStringList captions;
                      for (const QPushButton *button : select->Buttons())
                          captions << button->text().remove(u'&');
                      EXPECT_EQ(captions.mid(0, 2), QStringList({"Definitely", "To recycle bin"}));
                      select->reject();
                  });
        Find<QMenu>(w, "PopupMenu")->findChild<QAction *>("miDelete")->trigger();
        EXPECT_EQ(static_cast<TShellDirDialog *>(w)->TreePath(), Native(path("alpha")));
        static_cast<QDialog *>(w)->reject();
    });
    QString start = path("alpha");
    dialog.Execute("Pick", false, false, false, QString(), start);
    EXPECT_TRUE(QFileInfo(path("alpha/inner")).isDir());
}
