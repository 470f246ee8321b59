#pragma once

// Mailmend's main window: the current Thunderbird profile and its mail
// directory, a folder tree and a file list in which the user picks mail
// folder files, "Mark recovered mails as unread", and a message list with a
// line for each folder whose mails came back. The recovery runs on a worker;
// a progress strip with a Cancel button shows how far it is.

#include "mailmend/core/ProfileList.h"
#include "mailmend/core/ProfilesIni.h"
#include "mailmend/gui/RecoveryWorker.h"

#include <QPoint>
#include <QString>
#include <QWidget>

#include <memory>

class QCheckBox;
class QFileSystemModel;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSortFilterProxyModel;
class QSplitter;
class QToolButton;
class QTreeView;

namespace mailmend {

class TChooseMailsDialog;
class TSelectProfileDialog;

class TMainForm : public QWidget, private IRecoveryQuestions
{
    Q_OBJECT

public:
    // thunderbirdFolder: the folder holding profiles.ini (--thunderbird);
    // empty to look for it in the platform's places.
    explicit TMainForm(const QString &thunderbirdFolder = QString(), QWidget *parent = nullptr);
    ~TMainForm() override;

    // The start-up choice: selects a profile and shows it. False when there
    // is no usable profile or the user cancelled; the program then ends
    // without a message.
    bool FormShow();

    QString MailProfile() const { return FMailProfile; }
    QString MailDir() const { return FMailDir; }
    // Where every dialog of the program appears: below the profile button,
    // as it was when the window was created.
    QPoint DialogPos() const { return FDialogPos; }
    TSelectProfileDialog *ProfileDialog() const { return FProfileDialog; }
    bool IsRecovering() const;

    // How the recovery tests whether Thunderbird runs (tests replace it).
    void SetRunningTest(TRecoveryWorker::TRunningTest test) { FRunningTest = std::move(test); }

    // Selects the folder in the tree and lists its files. Raises
    // EExtFileStreamError "Error setting path: ..." when it cannot be shown.
    void SetTreePath(const QString &path);
    // The folder the file list shows.
    QString ListedFolder() const;
    // Full paths of the selected items of the file list, in display order.
    QStringList SelectedFolderFiles() const;

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormCreate();
    void CreateControls();
    void CreateModels();
    bool SelectProfile(QString &profile);
    void ShowProfile();
    void TreeCurrentChanged();
    void TreeDirectoryLoaded(const QString &path);

    void bbProfileClick();
    void bbRecoverClick();
    void bbInfoClick();
    void bbQuitClick();
    void btCancelClick();

    void SetRecovering(bool recovering);
    void RecoveryProgress(const QString &text, int perMille);
    void RecoveryFinished(const TRunOutcome &outcome);

    // IRecoveryQuestions, on the UI thread.
    int AskChoice(const QString &message, const QStringList &buttons, int focusButton) override;
    bool AskMails(const QString &folderPath, std::vector<TMailRow> rows, std::vector<qint64> &chosen) override;

    TThunderbirdFiles FFiles;
    TProfileList FProfileList;
    QString FMailProfile;
    QString FMailDir;
    QString FProgVersDate;
    QPoint FDialogPos;
    QString FRevealPath; // folder of the tree kept in view while it is read
    bool FCloseWhenStopped = false;
    bool FOwnsSelectDialog = false;
    TRecoveryWorker::TRunningTest FRunningTest;

    TSelectProfileDialog *FProfileDialog = nullptr;
    TChooseMailsDialog *FChooseDialog = nullptr;
    TRecoveryWorker *FWorker = nullptr;
    QFileSystemModel *FTreeModel = nullptr;
    QFileSystemModel *FListModel = nullptr;
    QSortFilterProxyModel *FListFilter = nullptr;

    QWidget *paTop = nullptr;
    QLabel *lbProfile = nullptr;
    QLineEdit *leProfile = nullptr;
    QLabel *lbMailDir = nullptr;
    QLineEdit *leMailDir = nullptr;
    QToolButton *bbProfile = nullptr;
    QSplitter *spHorz = nullptr;
    QWidget *paCenter = nullptr;
    QSplitter *spVert = nullptr;
    QTreeView *ShellTreeView = nullptr;
    QTreeView *ShellListView = nullptr;
    QCheckBox *cbUnread = nullptr;
    QPushButton *bbRecover = nullptr;
    QPushButton *bbInfo = nullptr;
    QPushButton *bbQuit = nullptr;
    QPlainTextEdit *meMessages = nullptr;
    QWidget *paProgress = nullptr;
    QLabel *lbProgress = nullptr;
    QProgressBar *pbProgress = nullptr;
    QPushButton *btCancel = nullptr;
};

} // namespace mailmend
