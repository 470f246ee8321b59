#include "mailmend/gui/MainForm.h"

#include "dialogs/HandlerGuard.h"
#include "dialogs/MsgDialogs.h"
#include "dialogs/SelectDlg.h"
#include "dialogs/WinUtils.h"
#include "foundation/FileUtils.h"
#include "foundation/LangUtils.h"
#include "foundation/PathUtils.h"
#include "foundation/StringUtils.h"
#include "foundation/WinApiUtils.h"
#include "mailmend/core/FolderFiles.h"
#include "mailmend/core/MailRecovery.h"
#include "mailmend/core/Thunderbird.h"
#include "mailmend/gui/ChooseMailsDlg.h"
#include "mailmend/gui/SelectProfileDlg.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QSplitter>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <cerrno>

namespace mailmend {

using namespace foundation;
using namespace dialogs;

namespace {

// Message boxes break lines at LF; the program's messages use CR LF.
QString ForDisplay(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// The file list: the files of one folder that the admission rule lets in,
// sorted by name (sizes and dates by value when the user sorts by them).
class TFolderFileFilter final : public QSortFilterProxyModel
{
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        static const char *const Titles[] = {N_("Name"), N_("Size"), N_("Type"), N_("Date modified")};
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 4)
            return Translate(Titles[section]);
        return QSortFilterProxyModel::headerData(section, orientation, role);
    }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override
    {
        const QModelIndex index = Model()->index(sourceRow, 0, sourceParent);
        return IsListedFolderItem(QDir::toNativeSeparators(Model()->filePath(index)), Model()->isDir(index));
    }

    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override
    {
        switch (left.column()) {
        case 1:
            return Model()->size(left) < Model()->size(right);
        case 3:
            return Model()->lastModified(left) < Model()->lastModified(right);
        default:
            return QString::localeAwareCompare(left.data().toString().toCaseFolded(),
                                               right.data().toString().toCaseFolded())
                   < 0;
        }
    }

private:
    const QFileSystemModel *Model() const { return static_cast<const QFileSystemModel *>(sourceModel()); }
};

QPushButton *NewButton(QWidget *parent, const char *name, const char *caption, QStyle::StandardPixmap icon)
{
    auto *button = new QPushButton(parent->style()->standardIcon(icon), caption, parent);
    button->setObjectName(name);
    button->setIconSize(QSize(24, 24));
    button->setMinimumHeight(46);
    return button;
}

// Applies the layouts of a window that has not been shown yet, parents
// first: a hidden widget gets its resize event only when it is shown, so its
// children would otherwise keep their initial places.
void LayOutHidden(QWidget *window)
{
    window->layout()->activate();
    for (QWidget *child : window->findChildren<QWidget *>()) {
        if (QLayout *layout = child->layout()) {
            layout->invalidate();
            layout->activate();
        }
    }
}

// Connects a click to a handler that runs guarded.
template <typename Button, typename Handler>
void OnClick(Button *button, Handler handler)
{
    QObject::connect(button, &Button::clicked, button, [handler] { dialogs::RunGuarded(handler); });
}

} // namespace

TMainForm::TMainForm(const QString &thunderbirdFolder, QWidget *parent) : QWidget(parent)
{
    FFiles = TThunderbirdFiles(FindThunderbirdFolder(thunderbirdFolder));
    FormCreate();
}

TMainForm::~TMainForm()
{
    FWorker->CancelAndWait();
    if (FOwnsSelectDialog)
        SelectDialog = nullptr; // a child of this window
}

void TMainForm::FormCreate()
{
    setObjectName(QStringLiteral("MainForm"));
    CreateControls();
    CreateModels();
    TranslateWindow(this, DefaultTextDomain);

    QString title;
    GetProgramVersion(QStringLiteral("Mailmend"), QStringLiteral(" - Vers. 1.1"), QStringLiteral(MP_COPYRIGHT), 3,
                      title, FProgVersDate);
    LoadProfiles(FProfileList, FFiles);
    FMailProfile.clear();

    FProfileDialog = new TSelectProfileDialog(this);
    FChooseDialog = new TChooseMailsDialog(this);
    if (!SelectDialog) {
        SelectDialog = new TSelectDialog(this);
        FOwnsSelectDialog = true;
    }
    FWorker = new TRecoveryWorker(*this, this);
    connect(FWorker, &TRecoveryWorker::ProgressChanged, this,
            [this](const QString &text, int perMille) { RecoveryProgress(text, perMille); });
    connect(FWorker, &TRecoveryWorker::LineAdded, this,
            [this](const QString &line) { meMessages->appendPlainText(line); });
    connect(FWorker, &TRecoveryWorker::Finished, this,
            [this](const TRunOutcome &outcome) { dialogs::RunGuarded([&] { RecoveryFinished(outcome); }); });

    // The window gets its place now, so that the dialog position below the
    // profile button is known before the window is first shown.
    resize(721, 475);
    CentreOnMonitor(this, dmPrimary);
    LayOutHidden(this);
    FDialogPos = PosBelowControl(bbProfile);
}

void TMainForm::CreateControls()
{
    setWindowTitle(N_("Recover deleted Thunderbird mails"));
    auto *mainLayout = new QVBoxLayout(this);
    mainLayout->setContentsMargins(0, 0, 0, 0);
    mainLayout->setSpacing(0);

    // Top strip: profile, mail directory, profile button.
    paTop = new QWidget(this);
    paTop->setObjectName(QStringLiteral("paTop"));
    auto *topLayout = new QGridLayout(paTop);
    topLayout->setContentsMargins(5, 3, 5, 3);
    topLayout->setVerticalSpacing(1);
    lbProfile = new QLabel(N_("Mail &profile"), paTop);
    lbProfile->setObjectName(QStringLiteral("lbProfile"));
    leProfile = new QLineEdit(paTop);
    leProfile->setObjectName(QStringLiteral("leProfile"));
    lbMailDir = new QLabel(N_("Mail &directory"), paTop);
    lbMailDir->setObjectName(QStringLiteral("lbMailDir"));
    leMailDir = new QLineEdit(paTop);
    leMailDir->setObjectName(QStringLiteral("leMailDir"));
    for (QLineEdit *edit : {leProfile, leMailDir}) {
        edit->setReadOnly(true);
        edit->setFocusPolicy(Qt::NoFocus);
    }
    bbProfile = new QToolButton(paTop);
    bbProfile->setObjectName(QStringLiteral("bbProfile"));
    bbProfile->setToolTip(N_("Select Thunderbird profile"));
    bbProfile->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    bbProfile->setFixedSize(26, 26);
    // The label's mnemonic presses the profile button.
    lbProfile->setBuddy(bbProfile);
    topLayout->addWidget(lbProfile, 0, 0);
    topLayout->addWidget(lbMailDir, 0, 1);
    topLayout->addWidget(leProfile, 1, 0);
    topLayout->addWidget(leMailDir, 1, 1);
    topLayout->addWidget(bbProfile, 1, 2);
    topLayout->setColumnStretch(0, 286);
    topLayout->setColumnStretch(1, 386);
    mainLayout->addWidget(paTop);

    // Centre: folder tree | file list, option and buttons; the messages below.
    spHorz = new QSplitter(Qt::Vertical, this);
    spHorz->setObjectName(QStringLiteral("spHorz"));
    spHorz->setChildrenCollapsible(false);
    mainLayout->addWidget(spHorz, 1);
    paCenter = new QWidget(spHorz);
    paCenter->setObjectName(QStringLiteral("paCenter"));
    auto *centerLayout = new QHBoxLayout(paCenter);
    centerLayout->setContentsMargins(5, 5, 5, 5);
    spVert = new QSplitter(Qt::Horizontal, paCenter);
    spVert->setObjectName(QStringLiteral("spVert"));
    spVert->setChildrenCollapsible(false);
    centerLayout->addWidget(spVert);

    ShellTreeView = new QTreeView(spVert);
    ShellTreeView->setObjectName(QStringLiteral("ShellTreeView"));
    ShellTreeView->setHeaderHidden(true);
    ShellTreeView->setSelectionMode(QAbstractItemView::SingleSelection);
    lbMailDir->setBuddy(ShellTreeView);

    auto *right = new QWidget(spVert);
    auto *rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(4, 0, 0, 0);
    ShellListView = new QTreeView(right);
    ShellListView->setObjectName(QStringLiteral("ShellListView"));
    ShellListView->setRootIsDecorated(false);
    ShellListView->setItemsExpandable(false);
    ShellListView->setUniformRowHeights(true);
    ShellListView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ShellListView->installEventFilter(this);
    rightLayout->addWidget(ShellListView, 1);
    cbUnread = new QCheckBox(N_("Mark recovered mails as &unread"), right);
    cbUnread->setObjectName(QStringLiteral("cbUnread"));
    rightLayout->addWidget(cbUnread);
    auto *buttonRow = new QHBoxLayout;
    buttonRow->addStretch(1);
    bbRecover = NewButton(right, "bbRecover", N_("&Recover deleted mails"), QStyle::SP_DialogApplyButton);
    bbRecover->setMinimumWidth(223);
    bbInfo = NewButton(right, "bbInfo", N_("&Info"), QStyle::SP_MessageBoxInformation);
    bbQuit = NewButton(right, "bbQuit", N_("&Quit"), QStyle::SP_DialogCloseButton);
    bbQuit->setToolTip(N_("Quit program"));
    buttonRow->addWidget(bbRecover);
    buttonRow->addWidget(bbInfo);
    buttonRow->addWidget(bbQuit);
    rightLayout->addLayout(buttonRow);
    spVert->addWidget(ShellTreeView);
    spVert->addWidget(right);
    spVert->setStretchFactor(0, 0);
    spVert->setStretchFactor(1, 1);
    spVert->setSizes({286, 425});

    meMessages = new QPlainTextEdit(spHorz);
    meMessages->setObjectName(QStringLiteral("meMessages"));
    meMessages->setReadOnly(true);
    spHorz->addWidget(paCenter);
    spHorz->addWidget(meMessages);
    spHorz->setStretchFactor(0, 1);
    spHorz->setStretchFactor(1, 0);
    spHorz->setSizes({310, 116});

    // Progress of a recovery run, shown while it goes.
    paProgress = new QWidget(this);
    paProgress->setObjectName(QStringLiteral("paProgress"));
    auto *progressLayout = new QHBoxLayout(paProgress);
    progressLayout->setContentsMargins(5, 3, 5, 3);
    lbProgress = new QLabel(paProgress);
    lbProgress->setObjectName(QStringLiteral("lbProgress"));
    pbProgress = new QProgressBar(paProgress);
    pbProgress->setObjectName(QStringLiteral("pbProgress"));
    pbProgress->setRange(0, 1000);
    pbProgress->setTextVisible(false);
    btCancel = new QPushButton(N_("&Cancel"), paProgress);
    btCancel->setObjectName(QStringLiteral("btCancel"));
    progressLayout->addWidget(lbProgress, 1);
    progressLayout->addWidget(pbProgress, 1);
    progressLayout->addWidget(btCancel);
    paProgress->hide();
    mainLayout->addWidget(paProgress);

    setTabOrder(bbProfile, ShellTreeView);
    setTabOrder(ShellTreeView, ShellListView);
    setTabOrder(ShellListView, cbUnread);
    setTabOrder(cbUnread, bbRecover);
    setTabOrder(bbRecover, bbInfo);
    setTabOrder(bbInfo, bbQuit);
    setTabOrder(bbQuit, meMessages);
    setTabOrder(meMessages, btCancel);

    OnClick(bbProfile, [this] { bbProfileClick(); });
    OnClick(bbRecover, [this] { bbRecoverClick(); });
    OnClick(bbInfo, [this] { bbInfoClick(); });
    OnClick(bbQuit, [this] { bbQuitClick(); });
    OnClick(btCancel, [this] { btCancelClick(); });
}

void TMainForm::CreateModels()
{
    // Folders of the whole computer, hidden ones included.
    FTreeModel = new QFileSystemModel(this);
    FTreeModel->setFilter(QDir::Dirs | QDir::Drives | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    FTreeModel->setRootPath(QString());
    ShellTreeView->setModel(FTreeModel);
    for (int column = 1; column < FTreeModel->columnCount(); ++column)
        ShellTreeView->hideColumn(column);
    // Deep folders scroll sideways instead of being cut off.
    ShellTreeView->header()->setStretchLastSection(false);
    ShellTreeView->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    connect(FTreeModel, &QFileSystemModel::directoryLoaded, this,
            [this](const QString &path) { TreeDirectoryLoaded(path); });
    connect(ShellTreeView->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { dialogs::RunGuarded([this] { TreeCurrentChanged(); }); });

    // The non-folder items of the selected folder, hidden ones included.
    FListModel = new QFileSystemModel(this);
    FListModel->setFilter(QDir::Files | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    FListFilter = new TFolderFileFilter(this);
    FListFilter->setSourceModel(FListModel);
    FListFilter->setDynamicSortFilter(true);
    ShellListView->setModel(FListFilter);
    ShellListView->setSortingEnabled(true);
    ShellListView->sortByColumn(0, Qt::AscendingOrder);
    ShellListView->header()->setStretchLastSection(false);
    ShellListView->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    ShellListView->header()->setSectionResizeMode(0, QHeaderView::Stretch);
}

bool TMainForm::IsRecovering() const
{
    return FWorker->IsRunning();
}

void TMainForm::SetTreePath(const QString &path)
{
    const QString modelPath = QDir::cleanPath(QDir::fromNativeSeparators(path));
    const QFileInfo info(modelPath);
    const int error = !info.exists() ? ENOENT : !info.isDir() ? ENOTDIR : 0;
    const QModelIndex index = error == 0 ? FTreeModel->index(modelPath) : QModelIndex();
    if (!index.isValid()) {
        const int reason = error != 0 ? error : ENOENT;
        throw EExtFileStreamError(SafeFormat(Translate("Error setting path: \"%s\""), path) + QStringLiteral("\r\n(")
                                      + qt_error_string(reason) + QStringLiteral(")"),
                                  reason);
    }
    ShellTreeView->setCurrentIndex(index);
    ShellTreeView->scrollTo(index, QAbstractItemView::PositionAtCenter);
    ShellTreeView->expand(index);
    // The folders above it are read in the background, each changing the
    // rows above the node; keep it in view while they come in.
    FRevealPath = modelPath;
    QTimer::singleShot(3000, this, [this] { FRevealPath.clear(); });
}

void TMainForm::TreeDirectoryLoaded(const QString &path)
{
    if (FRevealPath.isEmpty() || !FRevealPath.startsWith(path))
        return;
    ShellTreeView->scrollTo(ShellTreeView->currentIndex(), QAbstractItemView::PositionAtCenter);
}

void TMainForm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The tree may have been set before the window had its final size.
    if (ShellTreeView->currentIndex().isValid())
        QTimer::singleShot(0, this, [this] {
            ShellTreeView->scrollTo(ShellTreeView->currentIndex(), QAbstractItemView::PositionAtCenter);
        });
}

QString TMainForm::ListedFolder() const
{
    const QModelIndex root = FListFilter->mapToSource(ShellListView->rootIndex());
    return root.isValid() ? QDir::toNativeSeparators(FListModel->filePath(root)) : QString();
}

void TMainForm::TreeCurrentChanged()
{
    const QModelIndex current = ShellTreeView->currentIndex();
    if (!current.isValid())
        return;
    const QString folder = FTreeModel->filePath(current);
    const QModelIndex listRoot = FListModel->setRootPath(folder);
    ShellListView->setRootIndex(FListFilter->mapFromSource(listRoot));
}

QStringList TMainForm::SelectedFolderFiles() const
{
    QStringList paths;
    const QModelIndex root = ShellListView->rootIndex();
    const QItemSelectionModel *selection = ShellListView->selectionModel();
    for (int row = 0; row < FListFilter->rowCount(root); ++row) {
        const QModelIndex index = FListFilter->index(row, 0, root);
        if (!selection->isSelected(index))
            continue;
        const QModelIndex source = FListFilter->mapToSource(index);
        if (!FListModel->isDir(source))
            paths.append(QDir::toNativeSeparators(FListModel->filePath(source)));
    }
    return paths;
}

bool TMainForm::FormShow()
{
    QString profile = FMailProfile;
    if (!SelectProfile(profile))
        return false;
    FMailProfile = profile;
    dialogs::RunGuarded([this] { ShowProfile(); });
    return true;
}

bool TMainForm::SelectProfile(QString &profile)
{
    if (FProfileList.IsEmpty())
        return false;
    QString candidate = profile.isEmpty() ? FProfileList.DefaultProfile() : profile;
    bool confirmed = true;
    if (FProfileList.Count() == 1)
        InfoDialogAt(FDialogPos, SafeFormat(Translate("Single Thunderbird profile \"%s\" found!"),
                                            FProfileList.GetProfileName(candidate)));
    else
        confirmed = FProfileDialog->Execute(FDialogPos, FProfileList, candidate);
    if (!confirmed)
        return false;
    const int index = FProfileList.IndexOf(candidate);
    if (index < 0)
        return false;
    profile = FProfileList.Name(index);
    return true;
}

void TMainForm::ShowProfile()
{
    FMailDir = FProfileList.GetFullPath(FMailProfile);
    leMailDir->setText(FProfileList.GetPathName(FMailProfile));
    leProfile->setText(FProfileList.GetProfileName(FMailProfile));
    SetTreePath(JoinPath(FMailDir, QStringLiteral("Mail")));
}

void TMainForm::bbProfileClick()
{
    if (!LoadProfiles(FProfileList, FFiles)) {
        ErrorDialogAt(FDialogPos, Translate("No Thunderbird profiles found!"));
        close();
        return;
    }
    QString profile = FMailProfile;
    if (!SelectProfile(profile))
        return;
    FMailProfile = profile;
    ShowProfile();
}

void TMainForm::bbRecoverClick()
{
    if (IsRecovering())
        return;
    meMessages->clear();
    const QStringList paths = SelectedFolderFiles();
    if (paths.isEmpty())
        return;
    SetRecovering(true);
    FWorker->Start(paths, cbUnread->isChecked(), FRunningTest);
}

void TMainForm::bbInfoClick()
{
    const TFileVersionInfo &info = ProgramVersionInfo();
    const QString name = info.InternalName.isEmpty() ? QStringLiteral("Mailmend") : info.InternalName;
    const QString text = name + QStringLiteral(" (") + Translate("Version") + QStringLiteral(" ") + info.Version
                         + QStringLiteral(") - ") + FProgVersDate + QStringLiteral("\r\n") + info.Copyright;
    InfoDialogAt(FDialogPos, ForDisplay(text));
}

void TMainForm::bbQuitClick()
{
    close();
}

void TMainForm::btCancelClick()
{
    btCancel->setEnabled(false);
    FWorker->Cancel();
}

void TMainForm::SetRecovering(bool recovering)
{
    for (QWidget *control : std::initializer_list<QWidget *>{paTop, ShellTreeView, ShellListView, cbUnread,
                                                             bbRecover, bbInfo})
        control->setEnabled(!recovering);
    lbProgress->clear();
    pbProgress->setValue(0);
    btCancel->setEnabled(true);
    paProgress->setVisible(recovering);
    if (!recovering)
        ShellListView->setFocus();
}

void TMainForm::RecoveryProgress(const QString &text, int perMille)
{
    lbProgress->setText(text);
    pbProgress->setValue(perMille);
}

void TMainForm::RecoveryFinished(const TRunOutcome &outcome)
{
    SetRecovering(false);
    if (FCloseWhenStopped) {
        close();
        return;
    }
    if (outcome.Failed)
        dialogs::ShowErrorBox(outcome.Error);
    else if (outcome.End == TRunEnd::ThunderbirdRuns)
        ErrorDialogAt(FDialogPos, ThunderbirdStillRunningText());
}

int TMainForm::AskChoice(const QString &message, const QStringList &buttons, int focusButton)
{
    return SelectDialog->Execute(FDialogPos, windowTitle(), message, mtConfirmation, TFontStyles(), buttons,
                                 QString(), 0, focusButton < 0 ? -1 : focusButton);
}

bool TMainForm::AskMails(const QString &folderPath, std::vector<TMailRow> rows, std::vector<qint64> &chosen)
{
    return FChooseDialog->Execute(FDialogPos, windowTitle(), folderPath, std::move(rows), chosen);
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    if (IsRecovering()) {
        // Closes once the worker has stopped; it is never waited for here,
        // since it may be about to ask a question.
        FCloseWhenStopped = true;
        FWorker->Cancel();
        event->ignore();
        return;
    }
    event->accept();
}

bool TMainForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ShellListView && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            dialogs::RunGuarded([this] { bbRecoverClick(); });
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace mailmend
