#include "packprobe/gui/PackprobeMain.h"

#include "dialogs/ModalAnswer.h"
#include "packprobe/GzTestFiles.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include "dialogs/HListBox.h"
#include "foundation/IniFile.h"

#include <QDirIterator>
#include <QEventLoop>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>

using namespace foundation;
using namespace dialogs;
using namespace packprobe;

using namespace packprobe;

namespace {

const QByteArray Password = "correct horse battery";

// Runs the event loop until the signal comes or the time is up.
template <typename Signal>
bool WaitForSignal(const TPackprobeForm *form, Signal signal, int timeoutMs = 30000)
{
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    bool came = false;
    QObject::connect(form, signal, &loop, [&] {
        came = true;
        loop.quit();
    });
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(timeoutMs);
    loop.exec();
    return came;
}

QList<QStringList> Rows(const TPackprobeForm &form, const char *list)
{
    QList<QStringList> rows;
    const auto *view = form.findChild<QTreeWidget *>(QString::fromLatin1(list));
    for (int i = 0; i < view->topLevelItemCount(); ++i)
        rows.append({view->topLevelItem(i)->text(0), view->topLevelItem(i)->text(1)});
    return rows;
}

QPushButton *SaveButton(const TPackprobeForm &form)
{
    return form.findChild<QPushButton *>(QStringLiteral("btSave"));
}

THistoryCombo *FileEdit(const TPackprobeForm &form)
{
    return form.findChild<THistoryCombo *>(QStringLiteral("FileEdit"));
}

// Answers the file dialog with a file (empty: cancels it) and records where
// it started.
struct TFileAnswer
{
    QString startFolder;
    QString startName;
    QStringList filters;
    bool confirmsOverwrite = false;
    bool shown = false;
};

void AnswerFileDialog(const char *name, const QString &choice, TFileAnswer &seen)
{
    AnswerModal(QString::fromLatin1(name), [choice, &seen](QWidget *w) {
        auto *dialog = qobject_cast<QFileDialog *>(w);
        ASSERT_NE(dialog, nullptr);
        seen.shown = true;
        seen.startFolder = dialog->directory().absolutePath();
        seen.startName = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->text();
        seen.filters = dialog->nameFilters();
        seen.confirmsOverwrite = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
        if (choice.isEmpty()) {
            dialog->reject();
            return;
        }
        dialog->selectFile(choice);
        QMetaObject::invokeMethod(dialog, "accept");
    });
}

// Answers the message box of the analysis and records its text.
void AnswerMessage(QString &text)
{
    AnswerModal(QStringLiteral("MessageDialog"), [&text](QWidget *w) {
        text = qobject_cast<QMessageBox *>(w)->text();
        w->close();
    });
}

// Answers every password question with the password (empty: Cancel) and counts them.
struct TPasswordAnswers
{
    int asked = 0;
    QString caption;
    QString prompt;
};

void AnswerPassword(const QByteArray &password, TPasswordAnswers &answers)
{
    AnswerModal(QStringLiteral("PasswordDialog"), [password, &answers](QWidget *w) {
        ++answers.asked;
        answers.caption = w->windowTitle();
        answers.prompt = w->findChild<QLabel *>(QStringLiteral("lblPrompt"))->text();
        if (password.isEmpty()) {
            w->findChild<QPushButton *>(QStringLiteral("CancelBtn"))->click();
            return;
        }
        w->findChild<QLineEdit *>(QStringLiteral("edtPwd"))->setText(QString::fromLatin1(password));
        w->findChild<QPushButton *>(QStringLiteral("OKBtn"))->click();
    });
}

// A folder's name in one spelling, so that names with and without a trailing
// separator compare equal (and print readably).
QString Folder(const QString &name)
{
    return QDir::cleanPath(QDir(name).absolutePath());
}

QStringList FilesBelow(const QString &folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next());
    return files;
}

class PackprobeFormTest : public TempDirTest
{
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        QDir(dir()).mkpath(QStringLiteral("app"));
        QDir(dir()).mkpath(QStringLiteral("docs"));
        QDir(dir()).mkpath(QStringLiteral("tmp"));
        QDir(dir()).mkpath(QStringLiteral("data"));
        paths.AppPath = path(QStringLiteral("app/"));
        paths.UserPath = path(QStringLiteral("docs/"));
        paths.IniName = path(QStringLiteral("app/Packprobe.ini"));
        tmp = std::make_unique<ScopedEnv>("TMPDIR", path(QStringLiteral("tmp")));
    }
    void TearDown() override
    {
        form.reset();
        tmp.reset();
    }

    TPackprobeForm &NewForm()
    {
        form = std::make_unique<TPackprobeForm>(paths);
        return *form;
    }

    QString PlainFile(const QByteArray &plain = GzTest::SampleText(5000))
    {
        return writeFile(QStringLiteral("data/plain.gz"),
                         GzTest::WriteGz(plain, GzTest::PlainOptions("data.txt")));
    }
    QString EncryptedFile(const QByteArray &plain = GzTest::SampleText(5000))
    {
        return writeFile(QStringLiteral("data/secret.gze"),
                         GzTest::WriteGz(plain, GzTest::EncryptedOptions(Password, 3, "secret.txt")));
    }

    // Analyses a file that needs no answer and waits for the report.
    void Analyze(const QString &file)
    {
        form->AnalyzeFile(file);
        ASSERT_TRUE(WaitForSignal(form.get(), &TPackprobeForm::AnalysisFinished));
    }

    void WriteSettings(const QString &file, const QString &directory = QString())
    {
        TIniFile ini(paths.IniName);
        ini.WriteString(QStringLiteral("Config"), QStringLiteral("File"), file);
        if (!directory.isEmpty())
            ini.WriteString(QStringLiteral("Config"), QStringLiteral("Directory"), directory);
    }

    // Shows the form and waits until the start-up choice is made.
    bool ShowAndStart()
    {
        form->show();
        return WaitForSignal(form.get(), &TPackprobeForm::StartUpDone);
    }

    TPackprobePaths paths;
    std::unique_ptr<ScopedEnv> tmp;
    std::unique_ptr<TPackprobeForm> form;
};

// --- the three lists ---------------------------------------------------------------

TEST_F(PackprobeFormTest, PlainFileShowsSixHeaderTwoTrailerAndThreeDataRows)
{
    const QByteArray plain = GzTest::SampleText(5000);
    NewForm();
    Analyze(PlainFile(plain));

    const auto header = Rows(*form, "lvHeader");
    ASSERT_EQ(header.size(), 6);
    EXPECT_EQ(header[0], (QStringList{QStringLiteral("Filename"), QStringLiteral("data.txt")}));
    EXPECT_EQ(header[5], (QStringList{QStringLiteral("Encrypted"), QStringLiteral("no")}));
    const QString crc = FormatChecksum(GzTest::Crc(plain));
    EXPECT_EQ(Rows(*form, "lvTrailer"),
              (QList<QStringList>{{QStringLiteral("Checksum"), crc},
                                  {QStringLiteral("Size mod 2^32"), QStringLiteral("5 000")}}));
    const auto data = Rows(*form, "lvData");
    ASSERT_EQ(data.size(), 3);
    EXPECT_EQ(data[0], (QStringList{QStringLiteral("Checksum"), crc}));
    EXPECT_EQ(data[2], (QStringList{QStringLiteral("Uncompressed size"), QStringLiteral("5 000")}));
    EXPECT_TRUE(SaveButton(*form)->isEnabled());
    EXPECT_EQ(form->GzName(), QStringLiteral("data.txt"));
}

TEST_F(PackprobeFormTest, EncryptedFileAsksThePasswordOnceAndShowsSevenOneTwoRows)
{
    NewForm();
    const QString file = EncryptedFile();
    TPasswordAnswers answers;
    AnswerPassword(Password, answers);
    Analyze(file);

    EXPECT_EQ(answers.asked, 1);
    EXPECT_EQ(answers.caption, QStringLiteral("Packprobe"));
    EXPECT_EQ(answers.prompt, QStringLiteral("To analyze the encrypted gz file a password is required!"));
    const auto header = Rows(*form, "lvHeader");
    ASSERT_EQ(header.size(), 7);
    EXPECT_EQ(header[6], (QStringList{QStringLiteral("Encryption depth"), QStringLiteral("256 bit")}));
    const auto trailer = Rows(*form, "lvTrailer");
    ASSERT_EQ(trailer.size(), 1);
    EXPECT_EQ(trailer[0][0], QStringLiteral("Size mod 2^32"));
    const auto data = Rows(*form, "lvData");
    ASSERT_EQ(data.size(), 2);
    EXPECT_EQ(data[1], (QStringList{QStringLiteral("Uncompressed size"), QStringLiteral("5 000")}));
    EXPECT_TRUE(SaveButton(*form)->isEnabled());

    // Each analysis asks again.
    AnswerPassword(Password, answers);
    Analyze(file);
    EXPECT_EQ(answers.asked, 2);
}

TEST_F(PackprobeFormTest, CancelledPasswordGivesNoPasswordAndDisablesSaving)
{
    NewForm();
    Analyze(PlainFile());
    ASSERT_TRUE(SaveButton(*form)->isEnabled());

    TPasswordAnswers answers;
    AnswerPassword(QByteArray(), answers);
    Analyze(EncryptedFile());
    EXPECT_EQ(answers.asked, 1);
    EXPECT_EQ(Rows(*form, "lvData"),
              (QList<QStringList>{{QStringLiteral("Error"), QStringLiteral("No password")}}));
    EXPECT_EQ(Rows(*form, "lvHeader").size(), 7);
    EXPECT_FALSE(SaveButton(*form)->isEnabled());
}

TEST_F(PackprobeFormTest, WrongPasswordIsReportedAtTheHeaderList)
{
    NewForm();
    TPasswordAnswers answers;
    AnswerPassword("wrong password", answers);
    QString message;
    AnswerMessage(message);
    Analyze(EncryptedFile());
    EXPECT_EQ(message, QStringLiteral("Error unpacking file: Decryption failed"));
    EXPECT_EQ(Rows(*form, "lvData"),
              (QList<QStringList>{{QStringLiteral("Error"), QStringLiteral("Decryption failed")}}));
    EXPECT_FALSE(SaveButton(*form)->isEnabled());
}

TEST_F(PackprobeFormTest, MissingFileKeepsTheListsAndTheSaveButton)
{
    NewForm();
    Analyze(PlainFile());
    QString message;
    AnswerMessage(message);
    Analyze(path(QStringLiteral("data/gone.gz")));
    EXPECT_EQ(message, QStringLiteral("File not found!"));
    EXPECT_EQ(Rows(*form, "lvHeader").size(), 6);
    EXPECT_EQ(Rows(*form, "lvData").size(), 3);
    EXPECT_TRUE(SaveButton(*form)->isEnabled());
}

TEST_F(PackprobeFormTest, NotAGzFileClearsTheListsAndOffersNoEarlierData)
{
    NewForm();
    Analyze(PlainFile());
    const QString text = writeFile(QStringLiteral("data/text.gz"), "just some text, not gzip");
    QString message;
    AnswerMessage(message);
    Analyze(text);
    EXPECT_EQ(message, QStringLiteral("Error reading gz header!"));
    EXPECT_TRUE(Rows(*form, "lvHeader").isEmpty());
    EXPECT_TRUE(Rows(*form, "lvData").isEmpty());
    EXPECT_FALSE(SaveButton(*form)->isEnabled());
}

// --- start-up ----------------------------------------------------------------------

TEST_F(PackprobeFormTest, StartWithoutRememberedFileCancelledEndsWithoutMessage)
{
    NewForm();
    TFileAnswer seen;
    AnswerFileDialog("OpenDialog", QString(), seen);
    ASSERT_TRUE(ShowAndStart());
    EXPECT_TRUE(seen.shown);
    EXPECT_EQ(Folder(seen.startFolder), Folder(paths.UserPath));
    EXPECT_TRUE(seen.startName.isEmpty());
    // Closed at once: nothing analysed, no message.
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->IsBusy());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(Rows(*form, "lvHeader").isEmpty());
}

TEST_F(PackprobeFormTest, StartWithoutRememberedFileAnalysesTheChosenOneAskingOnce)
{
    const QString file = EncryptedFile();
    NewForm();
    TFileAnswer seen;
    AnswerFileDialog("OpenDialog", file, seen);
    TPasswordAnswers answers;
    AnswerPassword(Password, answers);
    ASSERT_TRUE(ShowAndStart());
    ASSERT_TRUE(form->IsBusy() || !Rows(*form, "lvHeader").isEmpty());
    if (form->IsBusy()) {
        ASSERT_TRUE(WaitForSignal(form.get(), &TPackprobeForm::AnalysisFinished));
    }
    EXPECT_EQ(answers.asked, 1);
    EXPECT_EQ(Rows(*form, "lvHeader").size(), 7);
    EXPECT_EQ(FileEdit(*form)->currentText(), file);
    EXPECT_EQ(FileEdit(*form)->HistoryList().Entries(), QStringList{file});
    EXPECT_TRUE(seen.filters.join(QLatin1Char(' ')).contains(QStringLiteral("*.gze")));
}

TEST_F(PackprobeFormTest, StartWithGoneFileCancelledKeepsTheNameAndSaysFileNotFound)
{
    const QString gone = path(QStringLiteral("data/gone.gz"));
    WriteSettings(gone);
    NewForm();
    TFileAnswer seen;
    AnswerFileDialog("OpenDialog", QString(), seen);
    QString message;
    AnswerMessage(message);
    ASSERT_TRUE(ShowAndStart());
    ASSERT_TRUE(WaitForSignal(form.get(), &TPackprobeForm::AnalysisFinished) || !message.isEmpty());
    EXPECT_TRUE(seen.shown);
    EXPECT_EQ(Folder(seen.startFolder), Folder(path(QStringLiteral("data"))));
    EXPECT_EQ(message, QStringLiteral("File not found!"));
    EXPECT_EQ(FileEdit(*form)->currentText(), gone);
    EXPECT_TRUE(form->isVisible());
}

TEST_F(PackprobeFormTest, StartWithRememberedFileAnalysesItWithoutAsking)
{
    const QString file = PlainFile();
    WriteSettings(file);
    NewForm();
    ASSERT_TRUE(ShowAndStart());
    if (form->IsBusy()) {
        ASSERT_TRUE(WaitForSignal(form.get(), &TPackprobeForm::AnalysisFinished));
    }
    EXPECT_EQ(Rows(*form, "lvHeader").size(), 6);
}

TEST_F(PackprobeFormTest, FileOfTheCommandLineIsAnalysedInsteadOfTheRememberedOne)
{
    const QString remembered = PlainFile();
    const QString given = EncryptedFile();
    WriteSettings(remembered);
    NewForm();
    form->SetStartFile(given);
    TPasswordAnswers answers;
    AnswerPassword(Password, answers);
    ASSERT_TRUE(ShowAndStart());
    if (form->IsBusy()) {
        ASSERT_TRUE(WaitForSignal(form.get(), &TPackprobeForm::AnalysisFinished));
    }
    EXPECT_EQ(answers.asked, 1);
    EXPECT_EQ(Rows(*form, "lvHeader").size(), 7);
    EXPECT_EQ(FileEdit(*form)->currentText(), given);
}

// --- settings and history ----------------------------------------------------------

TEST_F(PackprobeFormTest, SettingsAreReadAtCreationAndWrittenAtClose)
{
    const QString file = PlainFile();
    {
        TIniFile ini(paths.IniName);
        ini.WriteInteger(QStringLiteral("Config"), QStringLiteral("Top"), 40);
        ini.WriteInteger(QStringLiteral("Config"), QStringLiteral("Left"), 60);
        ini.WriteString(QStringLiteral("Config"), QStringLiteral("File"), file);
        ini.WriteString(QStringLiteral("Config"), QStringLiteral("Directory"), path(QStringLiteral("out")));
        ini.WriteString(QStringLiteral("GzFiles"), QStringLiteral("History0"), file);
        ini.WriteString(QStringLiteral("GzFiles"), QStringLiteral("History1"), QStringLiteral("/old/one.gz"));
    }
    NewForm();
    EXPECT_EQ(form->pos(), QPoint(60, 40));
    EXPECT_EQ(FileEdit(*form)->currentText(), file);
    EXPECT_EQ(form->LastDir(), path(QStringLiteral("out")));
    EXPECT_EQ(FileEdit(*form)->HistoryList().Entries(),
              (QStringList{file, QStringLiteral("/old/one.gz")}));
    EXPECT_EQ(FileEdit(*form)->MaxItems(), 15);

    FileEdit(*form)->setEditText(QStringLiteral("/typed/name.gz"));
    FileEdit(*form)->AddItem(QStringLiteral("/new/two.gz"));
    form->move(70, 50);
    EXPECT_TRUE(form->close());
    form.reset();

    const TIniFile ini(paths.IniName);
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("Config"), QStringLiteral("Top"), -1), 50);
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("Config"), QStringLiteral("Left"), -1), 70);
    EXPECT_EQ(ini.ReadString(QStringLiteral("Config"), QStringLiteral("File"), QString()),
              QStringLiteral("/typed/name.gz"));
    EXPECT_EQ(ini.ReadString(QStringLiteral("Config"), QStringLiteral("Directory"), QString()),
              path(QStringLiteral("out")));
    EXPECT_EQ(ini.ReadString(QStringLiteral("GzFiles"), QStringLiteral("History0"), QString()),
              QStringLiteral("/new/two.gz"));
    EXPECT_EQ(ini.ReadString(QStringLiteral("GzFiles"), QStringLiteral("History2"), QString()),
              QStringLiteral("/old/one.gz"));
}

TEST_F(PackprobeFormTest, FirstRunReadsDefaultsAndCreatesTheSettingsFile)
{
    NewForm();
    EXPECT_EQ(form->LastDir(), paths.UserPath);
    EXPECT_TRUE(FileEdit(*form)->currentText().isEmpty());
    FileEdit(*form)->AddItem(QStringLiteral("/a/b.gz"));
    form->close();
    form.reset();
    const TIniFile ini(paths.IniName);
    EXPECT_EQ(ini.ReadString(QStringLiteral("Config"), QStringLiteral("Directory"), QString()),
              paths.UserPath);
    EXPECT_EQ(ini.ReadString(QStringLiteral("GzFiles"), QStringLiteral("History0"), QString()),
              QStringLiteral("/a/b.gz"));
}

TEST_F(PackprobeFormTest, ChoosingAHistoryEntryAnalysesIt)
{
    const QString plain = PlainFile();
    const QString other = writeFile(QStringLiteral("data/other.gz"),
                                    GzTest::WriteGz("other", GzTest::PlainOptions("other.txt")));
    NewForm();
    FileEdit(*form)->AddItem(plain);
    FileEdit(*form)->AddItem(other);
    ASSERT_EQ(FileEdit(*form)->itemText(1), plain);
    Q_EMIT FileEdit(*form)->activated(1);
    if (form->IsBusy()) {
        ASSERT_TRUE(WaitForSignal(form.get(), &TPackprobeForm::AnalysisFinished));
    }
    EXPECT_EQ(Rows(*form, "lvHeader")[0][1], QStringLiteral("data.txt"));
    EXPECT_EQ(FileEdit(*form)->currentText(), plain);
}

TEST_F(PackprobeFormTest, OpenDialogStartsInTheFolderOfTheFieldAndAddsToTheHistory)
{
    const QString file = PlainFile();
    NewForm();
    FileEdit(*form)->setEditText(path(QStringLiteral("data/whatever.gz")));
    TFileAnswer seen;
    AnswerFileDialog("OpenDialog", file, seen);
    qobject_cast<QAbstractButton *>(form->findChild<QWidget *>(QStringLiteral("FileBtn")))->click();
    if (form->IsBusy()) {
        ASSERT_TRUE(WaitForSignal(form.get(), &TPackprobeForm::AnalysisFinished));
    }
    EXPECT_EQ(Folder(seen.startFolder), Folder(path(QStringLiteral("data"))));
    EXPECT_EQ(FileEdit(*form)->HistoryList().Entries(), QStringList{file});
    EXPECT_EQ(Rows(*form, "lvHeader").size(), 6);
    EXPECT_EQ(form->LastDir(), paths.UserPath);
}

// --- saving ------------------------------------------------------------------------

TEST_F(PackprobeFormTest, SaveCopiesTheUnpackedDataAndFollowsTheFolderSavedTo)
{
    const QByteArray plain = GzTest::SampleText(70000);
    NewForm();
    const QString file = PlainFile(plain);
    FileEdit(*form)->setEditText(file);
    Analyze(file);
    QDir(dir()).mkpath(QStringLiteral("out"));

    TFileAnswer first;
    const QString target = path(QStringLiteral("out/copy.txt"));
    AnswerFileDialog("SaveDialog", target, first);
    SaveButton(*form)->click();
    EXPECT_EQ(Folder(first.startFolder), Folder(paths.UserPath));
    EXPECT_EQ(first.startName, QStringLiteral("data.txt"));
    EXPECT_TRUE(first.confirmsOverwrite);
    EXPECT_EQ(readFile(target), plain);
    EXPECT_EQ(Folder(form->LastDir()), Folder(path(QStringLiteral("out"))));

    TFileAnswer second;
    AnswerFileDialog("SaveDialog", QString(), second);
    SaveButton(*form)->click();
    EXPECT_EQ(Folder(second.startFolder), Folder(path(QStringLiteral("out"))));

    // The open dialog keeps following the field.
    TFileAnswer open;
    AnswerFileDialog("OpenDialog", QString(), open);
    qobject_cast<QAbstractButton *>(form->findChild<QWidget *>(QStringLiteral("FileBtn")))->click();
    EXPECT_EQ(Folder(open.startFolder), Folder(path(QStringLiteral("data"))));
}

TEST_F(PackprobeFormTest, CancelledSaveWritesNothingAndKeepsTheFolder)
{
    NewForm();
    Analyze(PlainFile());
    TFileAnswer seen;
    AnswerFileDialog("SaveDialog", QString(), seen);
    SaveButton(*form)->click();
    EXPECT_TRUE(seen.shown);
    EXPECT_EQ(form->LastDir(), paths.UserPath);
    EXPECT_TRUE(FilesBelow(paths.UserPath).isEmpty());
}

// --- the worker --------------------------------------------------------------------

TEST_F(PackprobeFormTest, CancelStopsTheUnpackingWithTerminatedByUserAndLeavesNoData)
{
    // 1 GiB of output: still busy when the button is clicked, however fast the inflater.
    const QString file = writeFile(QStringLiteral("data/big.gz"), GzTest::ZerosGz(16));
    NewForm();
    form->SetStartFile(file);
    QString message;
    AnswerMessage(message);
    ASSERT_TRUE(ShowAndStart());
    ASSERT_TRUE(form->IsBusy());
    auto *cancel = form->findChild<QPushButton *>(QStringLiteral("btCancel"));
    EXPECT_TRUE(cancel->isVisible());
    EXPECT_FALSE(SaveButton(*form)->isEnabled());
    cancel->click();
    ASSERT_TRUE(WaitForSignal(form.get(), &TPackprobeForm::AnalysisFinished));
    EXPECT_EQ(message, QStringLiteral("Error unpacking file: Terminated by user"));
    EXPECT_EQ(Rows(*form, "lvData"),
              (QList<QStringList>{{QStringLiteral("Error"), QStringLiteral("Terminated by user")}}));
    EXPECT_FALSE(SaveButton(*form)->isEnabled());
    EXPECT_FALSE(cancel->isVisible());
    for (const QString &scratch : FilesBelow(path(QStringLiteral("tmp"))))
        EXPECT_EQ(QFileInfo(scratch).size(), 0) << scratch.toStdString();
}

TEST_F(PackprobeFormTest, ClosingRemovesTheScratchData)
{
    NewForm();
    Analyze(PlainFile());
    form->close();
    EXPECT_TRUE(FilesBelow(path(QStringLiteral("tmp"))).isEmpty());
    EXPECT_FALSE(SaveButton(*form)->isEnabled());
}

TEST_F(PackprobeFormTest, ClosingWhileBusyCancelsAndClosesOnceTheWorkerStopped)
{
    // 1 GiB of output: still busy when the button is clicked, however fast the inflater.
    const QString file = writeFile(QStringLiteral("data/big.gz"), GzTest::ZerosGz(16));
    NewForm();
    form->SetStartFile(file);
    ASSERT_TRUE(ShowAndStart());
    ASSERT_TRUE(form->IsBusy());
    EXPECT_FALSE(form->close());
    QEventLoop loop;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        if (!form->isVisible())
            loop.quit();
    });
    timer.start(10);
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->IsBusy());
    EXPECT_TRUE(QFileInfo::exists(paths.IniName));
    EXPECT_TRUE(FilesBelow(path(QStringLiteral("tmp"))).isEmpty());
}

TEST_F(PackprobeFormTest, DestroyingTheWindowWhileThePasswordIsDueAsksNothingAndDoesNotHang)
{
    const QString file = EncryptedFile();
    NewForm();
    form->AnalyzeFile(file);
    form.reset();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(PackprobeFormTest, DroppedFileIsAnalysedAndAddedToTheHistory)
{
    const QString file = PlainFile();
    NewForm();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(file)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form.get(), &drop);
    if (form->IsBusy()) {
        ASSERT_TRUE(WaitForSignal(form.get(), &TPackprobeForm::AnalysisFinished));
    }
    EXPECT_EQ(Rows(*form, "lvHeader").size(), 6);
    EXPECT_EQ(FileEdit(*form)->currentText(), file);
    EXPECT_EQ(FileEdit(*form)->HistoryList().Entries(), QStringList{file});
}

// --- the verdict line -------------------------------------------------------------

enum class TSample { Plain, CutShort, WrongTrailerChecksum, EncryptedWithoutPassword };

struct VerdictCase
{
    const char *name;
    TSample sample;
    const char16_t *line; // the verdict line's first line
};

class PackprobeVerdictTest : public PackprobeFormTest, public ::testing::WithParamInterface<VerdictCase>
{
protected:
    QString Sample(TSample kind)
    {
        const QByteArray plain = GzTest::SampleText(20000);
        QByteArray gz = GzTest::WriteGz(plain, GzTest::PlainOptions("data.txt"));
        switch (kind) {
        case TSample::Plain:
            break;
        case TSample::CutShort:
            gz.truncate(gz.size() / 2);
            break;
        case TSample::WrongTrailerChecksum:
            gz[gz.size() - 8] = char(gz[gz.size() - 8] ^ 0x5A);
            break;
        case TSample::EncryptedWithoutPassword:
            return EncryptedFile(plain);
        }
        return writeFile(QStringLiteral("data/sample.gz"), gz);
    }
};

TEST_P(PackprobeVerdictTest, LineUnderTheListsShowsMarkAndVerdict)
{
    const VerdictCase c = GetParam();
    NewForm();
    const QString file = Sample(c.sample);
    TPasswordAnswers answers;
    if (c.sample == TSample::EncryptedWithoutPassword)
        AnswerPassword(QByteArray(), answers);
    form->AnalyzeFile(file);
    ASSERT_TRUE(WaitForSignal(form.get(), &TPackprobeForm::AnalysisFinished));
    const auto *line = form->findChild<QLabel *>(QStringLiteral("lblVerdict"));
    ASSERT_NE(line, nullptr);
    EXPECT_FALSE(line->isHidden());
    EXPECT_EQ(line->text().section(QLatin1Char('\n'), 0, 0), QString::fromUtf16(c.line));
}

constexpr VerdictCase VerdictCases[] = {
    {"Intact", TSample::Plain, u"\u2714 Intact: every stored value agrees with the data"},
    {"Truncated", TSample::CutShort,
     u"\u26A0 Truncated: the data ends before the end of the deflate stream"},
    {"Mismatch", TSample::WrongTrailerChecksum, u"\u2718 Mismatch: checksum in the trailer"},
    {"Error", TSample::EncryptedWithoutPassword, u"\u2718 Error: No password"},
};
INSTANTIATE_TEST_SUITE_P(States, PackprobeVerdictTest, ::testing::ValuesIn(VerdictCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(PackprobeFormTest, VerdictLineIsHiddenUntilTheFirstReportAndKeptForAMissingFile)
{
    NewForm();
    const auto *line = form->findChild<QLabel *>(QStringLiteral("lblVerdict"));
    EXPECT_TRUE(line->isHidden());
    Analyze(PlainFile());
    const QString shown = line->text();
    EXPECT_FALSE(line->isHidden());
    QString message;
    AnswerMessage(message);
    Analyze(path(QStringLiteral("data/gone.gz")));
    EXPECT_EQ(message, QStringLiteral("File not found!"));
    EXPECT_EQ(line->text(), shown);
}

TEST_F(PackprobeFormTest, SavingOntoTheAnalysedFileIsRefusedAndLeavesItAlone)
{
    NewForm();
    const QString file = PlainFile();
    const QByteArray before = readFile(file);
    Analyze(file);

    TFileAnswer seen;
    AnswerFileDialog("SaveDialog", file, seen);
    // The dialog asks before replacing an existing file; the answer is yes.
    AnswerModal(QString(), [](QWidget *w) {
        auto *box = qobject_cast<QMessageBox *>(w);
        ASSERT_NE(box, nullptr);
        box->button(QMessageBox::Yes)->click();
    });
    QString message;
    AnswerMessage(message);
    SaveButton(*form)->click();
    EXPECT_TRUE(seen.shown);
    EXPECT_FALSE(message.isEmpty());
    EXPECT_EQ(readFile(file), before);
    EXPECT_EQ(form->LastDir(), paths.UserPath);
}

TEST_F(PackprobeFormTest, WindowIsCalledPackprobe)
{
    NewForm();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Packprobe"));
    EXPECT_EQ(Folder(QFileInfo(paths.IniName).absolutePath()), Folder(paths.AppPath));
    EXPECT_EQ(DefaultPackprobePaths().IniName.section(QLatin1Char('/'), -1), QStringLiteral("Packprobe.ini"));
}

} // namespace
