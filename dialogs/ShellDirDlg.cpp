#include "dialogs/ShellDirDlg.h"

#include "dialogs/FolderDeletion.h"
#include "dialogs/HListBox.h"
#include "dialogs/MsgDialogs.h"
#include "dialogs/SelectDlg.h"
#include "dialogs/WinUtils.h"
#include "foundation/FileUtils.h"
#include "foundation/IniFile.h"
#include "foundation/LangUtils.h"
#include "foundation/NumberUtils.h"
#include "foundation/PathUtils.h"
#include "foundation/StringUtils.h"

#include <QApplication>
#include <algorithm>
#include <QCheckBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSortFilterProxyModel>
#include <QSplitter>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QStyle>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace dialogs {

using namespace foundation;

namespace {

QString Tr(const char *text)
{
    return TranslateIn(DialogsTextDomain, text);
}

// Messages with CR LF line breaks, shown with the line break of the toolkit.
QString MessageText(const char *pattern, const QString &argument)
{
    return SafeFormat(Tr(pattern), argument).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

bool SameText(const QString &a, const QString &b)
{
    return QString::compare(a, b, Qt::CaseInsensitive) == 0;
}

constexpr Qt::CaseSensitivity FileNameCase =
#if defined(_WIN32) || defined(__APPLE__)
    Qt::CaseInsensitive;
#else
    Qt::CaseSensitive;
#endif

// Path in the form of the file-system model: "/" separators, no trailing one.
QString ModelPath(const QString &path)
{
    return path.isEmpty() ? QString() : QDir::cleanPath(QDir::fromNativeSeparators(path));
}

bool FolderExists(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

// A Windows drive root of three characters such as "C:\".
bool IsDriveRoot(const QString &path)
{
#ifdef _WIN32
    return path.size() == 3 && path[0].isLetter() && path[1] == u':' && path[2] == PathDelim;
#else
    Q_UNUSED(path);
    return false;
#endif
}

// The first existing folder of path and its parents.
QString ExistingFolderOf(QString path)
{
    while (!path.isEmpty() && !FolderExists(path)) {
        const QString parent = ParentFolder(path);
        if (parent == path)
            return QString();
        path = parent;
    }
    return path;
}

} // namespace

// --- rules -------------------------------------------------------------------

void AddDirHistory(QStringList &history, const QString &dir)
{
    if (dir.isEmpty())
        return;
    qsizetype found = -1;
    for (qsizetype i = 0; i < history.size(); ++i)
        if (SameText(history[i], dir)) {
            found = i;
            break;
        }
    if (found < 0) {
        while (history.size() >= DirHistoryMax)
            history.removeLast();
        history.prepend(dir);
    } else {
        history.move(found, 0);
        history[0] = dir;
    }
}

void RemoveDirHistory(QStringList &history, const QString &dir)
{
    for (qsizetype i = 0; i < history.size(); ++i)
        if (SameText(history[i], dir)) {
            history.removeAt(i);
            return;
        }
}

QString FreeSpaceText(qint64 freeBytes, qint64 totalBytes)
{
    if (freeBytes < 0 || totalBytes < 0)
        return QString();
    const QString separator = QLocale().decimalPoint();
    const QChar decimal = separator.isEmpty() ? QChar(u'.') : separator.at(0);
    return FormatSize(false, false, decimal, freeBytes) + Tr(N_(" free of ")) +
           FormatSize(false, false, decimal, totalBytes);
}

QString FreeSpaceTextOf(const QString &folder)
{
    if (folder.isEmpty())
        return QString();
    const QStorageInfo storage(AddBackslash(folder));
    if (!storage.isValid() || !storage.isReady())
        return QString();
    return FreeSpaceText(storage.bytesAvailable(), storage.bytesTotal());
}

QList<int> FileColumnChars(int listWidthChars)
{
    // The name column takes what the fixed columns leave, but never vanishes.
    constexpr int FixedColumns = 48;
    constexpr int MinNameColumn = 8;
    return {std::max(listWidthChars - FixedColumns, MinNameColumn), 12, 15, 17};
}

bool IsNetworkPath(const QString &path)
{
#ifdef _WIN32
    return path.startsWith(QStringLiteral("\\\\"));
#else
    Q_UNUSED(path);
    return false;
#endif
}

QString NetworkShareRoot(const QString &path)
{
    if (!IsNetworkPath(path))
        return QString();
    const QStringList parts = path.mid(2).split(PathDelim);
    if (parts.size() < 2 || parts[0].isEmpty() || parts[1].isEmpty())
        return QString();
    return QString(2, PathDelim) + parts[0] + PathDelim + parts[1];
}

TStartFolder ResolveStartFolder(const QString &dir, const QString &defaultDir,
                                const std::function<bool(const QString &)> &folderExists,
                                const QString &documentsFolder, const QString &currentFolder)
{
    TStartFolder start;
    start.path = dir.isEmpty() ? defaultDir : dir;
    if (start.path.isEmpty() || !folderExists(start.path)) {
        start.path = documentsFolder.isEmpty() ? currentFolder : documentsFolder;
        start.root = TRootFolder::Computer;
    } else {
        start.root = IsNetworkPath(start.path) ? TRootFolder::Network : TRootFolder::Computer;
    }
    return start;
}

TFolderUpStep FolderUpStep(TRootFolder root, bool topNode, const QString &currentPath,
                           const QString &parentPath)
{
    TFolderUpStep step;
    if (topNode) {
        // The root's own folder: show it within the whole computer, from
        // where the next step leads further up.
        step.rootToComputer = root != TRootFolder::Computer;
        if (step.rootToComputer)
            step.path = currentPath;
    } else if (root == TRootFolder::Documents) {
        step.rootToComputer = true;
        step.path = ParentFolder(currentPath);
    } else {
        step.path = parentPath;
    }
    return step;
}

bool SaveShellDirSettings(const QString &iniName, const QString &section,
                          const TShellDirSettings &settings)
{
    TIniFile ini(iniName);
    bool ok = ini.EraseSection(section);
    for (qsizetype i = 0; i < settings.history.size(); ++i)
        ok = ini.WriteString(section, HistoryKey(static_cast<int>(i)), settings.history[i]) && ok;
    ok = ini.WriteInteger(section, QStringLiteral("Top"), settings.top) && ok;
    ok = ini.WriteInteger(section, QStringLiteral("Left"), settings.left) && ok;
    ok = ini.WriteInteger(section, QStringLiteral("Height"), settings.height) && ok;
    ok = ini.WriteInteger(section, QStringLiteral("DirWidth"), settings.dirWidth) && ok;
    ok = ini.WriteInteger(section, QStringLiteral("FileWidth"), settings.fileWidth) && ok;
    ok = ini.WriteBool(section, QStringLiteral("Fileview"), settings.fileView) && ok;
    return ok;
}

bool LoadShellDirSettings(const QString &iniName, const QString &section,
                          TShellDirSettings &settings)
{
    if (!QFileInfo::exists(iniName) || section.isEmpty())
        return false;
    const TIniFile ini(iniName);
    settings.history.clear();
    for (int i = 0; i < DirHistoryMax; ++i) {
        const QString entry = ini.ReadString(section, HistoryKey(i), QString());
        if (!entry.isEmpty())
            settings.history.append(entry);
    }
    settings.top = ini.ReadInteger(section, QStringLiteral("Top"), 0);
    settings.left = ini.ReadInteger(section, QStringLiteral("Left"), settings.left);
    settings.height = ini.ReadInteger(section, QStringLiteral("Height"), settings.height);
    settings.dirWidth = ini.ReadInteger(section, QStringLiteral("DirWidth"), settings.dirWidth);
    settings.fileWidth = ini.ReadInteger(section, QStringLiteral("FileWidth"), settings.fileWidth);
    settings.fileView = ini.ReadBool(section, QStringLiteral("Fileview"), false);
    return true;
}

// --- tree filter -------------------------------------------------------------

// Shows one folder as the single top node of the tree: of the file-system
// model it keeps only the chain of folders that leads to the root folder, the
// root folder and everything below it. Without a root folder it keeps all.
class TFolderTreeFilter : public QSortFilterProxyModel
{
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    void SetRootFolder(const QString &modelPath)
    {
        FRoot = modelPath;
        invalidateFilter();
    }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override
    {
        if (FRoot.isEmpty())
            return true;
        const auto *model = static_cast<const QFileSystemModel *>(sourceModel());
        const QString path = model->filePath(model->index(sourceRow, 0, sourceParent));
        return IsWithin(path, FRoot) || IsWithin(FRoot, path);
    }

private:
    // True when path is folder or lies below it.
    static bool IsWithin(const QString &path, const QString &folder)
    {
        if (!path.startsWith(folder, FileNameCase))
            return false;
        return path.size() == folder.size() || folder.endsWith(u'/') || path[folder.size()] == u'/';
    }

    QString FRoot;
};

// --- the dialog --------------------------------------------------------------

namespace {

QToolButton *NewRootButton(QWidget *parent, const char *name, const char *caption,
                           QStyle::StandardPixmap icon)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(caption);
    button->setIcon(parent->style()->standardIcon(icon));
    button->setIconSize(QSize(32, 32));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setCheckable(true);
    button->setAutoExclusive(true);
    button->setAutoRaise(true);
    button->setFixedSize(94, 71);
    return button;
}

QToolButton *NewSmallButton(QWidget *parent, const char *name, const char *hint,
                            QStyle::StandardPixmap icon)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(name);
    button->setToolTip(hint);
    button->setIcon(parent->style()->standardIcon(icon));
    button->setAutoRaise(true);
    button->setFixedSize(21, 21);
    return button;
}

} // namespace

TShellDirDialog::TShellDirDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ShellDirDialog"));
    // Only a close box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    CreateControls();
    CreateModels(false);
    TranslateWindow(this, DialogsTextDomain);
    // The design sizes are those of a small dialog font; a wider font gets
    // wider panels so that the file list's columns keep their room.
    const double scale = DesignFontScale();
    FFileWidth = qRound(390 * scale);
    const int clientWidth = qRound(801 * scale);
    FDirWidth = clientWidth - Splitter->handleWidth() - FFileWidth;
    resize(clientWidth, qRound(406 * scale));
    CentreOnScreen();
}

TShellDirDialog::~TShellDirDialog()
{
    if (FIniName.isEmpty() || FIniSection.isEmpty())
        return;
    TShellDirSettings settings;
    settings.history = FDirList;
    settings.top = y();
    settings.left = x();
    settings.height = height();
    settings.dirWidth = FDirWidth;
    settings.fileWidth = FFileWidth;
    settings.fileView = cbxFiles->isChecked();
    SaveShellDirSettings(FIniName, FIniSection, settings);
}

void TShellDirDialog::CreateControls()
{
    auto *mainLayout = new QHBoxLayout(this);
    mainLayout->setContentsMargins(0, 0, 0, 0);
    Splitter = new QSplitter(Qt::Horizontal, this);
    Splitter->setObjectName(QStringLiteral("Splitter"));
    Splitter->setChildrenCollapsible(false);
    mainLayout->addWidget(Splitter);

    PanelLeft = new QWidget(Splitter);
    PanelLeft->setObjectName(QStringLiteral("PanelLeft"));
    PanelLeft->setMinimumWidth(1);
    PanelRight = new QWidget(Splitter);
    PanelRight->setObjectName(QStringLiteral("PanelRight"));
    PanelRight->setMinimumWidth(1);
    Splitter->addWidget(PanelLeft);
    Splitter->addWidget(PanelRight);
    Splitter->setStretchFactor(0, 1);
    Splitter->setStretchFactor(1, 0);

    // Left panel: root buttons and tree above, the bottom strip below.
    auto *leftLayout = new QVBoxLayout(PanelLeft);
    leftLayout->setContentsMargins(4, 4, 4, 4);
    auto *treeRow = new QHBoxLayout;
    leftLayout->addLayout(treeRow, 1);

    panRoot = new QFrame(PanelLeft);
    panRoot->setObjectName(QStringLiteral("panRoot"));
    panRoot->setFixedWidth(96);
    panRoot->setAutoFillBackground(true);
    panRoot->setBackgroundRole(QPalette::Base);
    static_cast<QFrame *>(panRoot)->setFrameShape(QFrame::StyledPanel);
    auto *rootLayout = new QVBoxLayout(panRoot);
    rootLayout->setContentsMargins(1, 1, 1, 1);
    rootLayout->setSpacing(0);
    spbDesktop = NewRootButton(panRoot, "spbDesktop", N_("Desktop"), QStyle::SP_DesktopIcon);
    spbMyFiles = NewRootButton(panRoot, "spbMyFiles", N_("Documents"), QStyle::SP_DirHomeIcon);
    spbComputer = NewRootButton(panRoot, "spbComputer", N_("Computer"), QStyle::SP_ComputerIcon);
    spbNetwork = NewRootButton(panRoot, "spbNetwork", N_("Network"), QStyle::SP_DriveNetIcon);
    for (QToolButton *button : {spbDesktop, spbMyFiles, spbComputer, spbNetwork})
        rootLayout->addWidget(button);
    rootLayout->addStretch(1);
    spbComputer->setChecked(true);
#ifndef _WIN32
    // Only Windows has a browsable network of shares.
    spbNetwork->setVisible(false);
#endif
    treeRow->addWidget(panRoot);

    ShellTreeView = new QTreeView(PanelLeft);
    ShellTreeView->setObjectName(QStringLiteral("ShellTreeView"));
    ShellTreeView->setHeaderHidden(true);
    ShellTreeView->setContextMenuPolicy(Qt::CustomContextMenu);
    ShellTreeView->setSelectionMode(QAbstractItemView::SingleSelection);
    treeRow->addWidget(ShellTreeView, 1);

    auto *strip = new QWidget(PanelLeft);
    strip->setObjectName(QStringLiteral("PanelBottom"));
    strip->setFixedHeight(91);
    leftLayout->addWidget(strip);
    auto *stripLayout = new QGridLayout(strip);
    stripLayout->setContentsMargins(0, 4, 0, 0);
    stripLayout->setVerticalSpacing(4);

    Label1 = new QLabel(N_("Directory:"), strip);
    Label1->setObjectName(QStringLiteral("Label1"));
    cbxFiles = new QCheckBox(N_("Show files"), strip);
    cbxFiles->setObjectName(QStringLiteral("cbxFiles"));
    spbHome = NewSmallButton(strip, "spbHome", N_("Go to default folder"), QStyle::SP_DirHomeIcon);
    spbUp = NewSmallButton(strip, "spbUp", N_("One folder up"), QStyle::SP_FileDialogToParent);
    spbNew = NewSmallButton(strip, "spbNew", N_("Create new folder"), QStyle::SP_FileDialogNewFolder);
    auto *topRow = new QHBoxLayout;
    topRow->addWidget(Label1);
    topRow->addSpacing(16);
    topRow->addWidget(cbxFiles);
    topRow->addStretch(1);
    topRow->addWidget(spbHome);
    topRow->addWidget(spbUp);
    topRow->addWidget(spbNew);
    stripLayout->addLayout(topRow, 0, 0, 1, 2);

    cbxSelectedDir = new THistoryCombo(strip);
    cbxSelectedDir->setObjectName(QStringLiteral("cbxSelectedDir"));
    cbxSelectedDir->setToolTip(N_("Directory"));
    cbxSelectedDir->SetAutoUpdate(false);
    cbxSelectedDir->SetMaxItems(DirHistoryMax);
    cbxSelectedDir->setMaxVisibleItems(DirHistoryMax);
    cbxSelectedDir->setMinimumContentsLength(20);
    cbxSelectedDir->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    stripLayout->addWidget(cbxSelectedDir, 1, 0, 1, 2);

    laVolHint = new QLabel(strip);
    laVolHint->setObjectName(QStringLiteral("laVolHint"));
    btbOK = new QPushButton(N_("OK"), strip);
    btbOK->setObjectName(QStringLiteral("btbOK"));
    btbOK->setDefault(true);
    btbOK->setFixedSize(71, 31);
    btbCancel = new QPushButton(N_("Cancel"), strip);
    btbCancel->setObjectName(QStringLiteral("btbCancel"));
    btbCancel->setFixedSize(101, 31);
    auto *bottomRow = new QHBoxLayout;
    bottomRow->addWidget(laVolHint, 1);
    bottomRow->addWidget(btbOK);
    bottomRow->addWidget(btbCancel);
    stripLayout->addLayout(bottomRow, 2, 0, 1, 2);

    // Right panel: the file list.
    auto *rightLayout = new QVBoxLayout(PanelRight);
    rightLayout->setContentsMargins(0, 4, 4, 4);
    ShellListView = new QTreeView(PanelRight);
    ShellListView->setObjectName(QStringLiteral("ShellListView"));
    ShellListView->setRootIsDecorated(false);
    ShellListView->setItemsExpandable(false);
    ShellListView->setUniformRowHeights(true);
    ShellListView->setSortingEnabled(true);
    ShellListView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    rightLayout->addWidget(ShellListView);
    Splitter->setSizes({FDirWidth, FFileWidth});

    PopupMenu = new QMenu(this);
    PopupMenu->setObjectName(QStringLiteral("PopupMenu"));
    QAction *createItem = PopupMenu->addAction(N_("Create folder"));
    createItem->setObjectName(QStringLiteral("miCreate"));
    QAction *deleteItem = PopupMenu->addAction(N_("Delete folder"));
    deleteItem->setObjectName(QStringLiteral("miDelete"));
    PopupMenu->addSeparator();
    QAction *updateItem = PopupMenu->addAction(N_("Update"));
    updateItem->setObjectName(QStringLiteral("miUpdate"));
    QAction *cancelItem = PopupMenu->addAction(N_("Cancel"));
    cancelItem->setObjectName(QStringLiteral("miCancel"));

    connect(createItem, &QAction::triggered, this, [this] { CreateFolder(); });
    connect(deleteItem, &QAction::triggered, this, [this] { DeleteFolder(); });
    connect(updateItem, &QAction::triggered, this, [this] { RefreshTree(); });
    connect(spbDesktop, &QToolButton::clicked, this, [this] { SetRoot(TRootFolder::Desktop); });
    connect(spbMyFiles, &QToolButton::clicked, this, [this] { SetRoot(TRootFolder::Documents); });
    connect(spbComputer, &QToolButton::clicked, this, [this] { SetRoot(TRootFolder::Computer); });
    connect(spbNetwork, &QToolButton::clicked, this, [this] { SetRoot(TRootFolder::Network); });
    connect(spbUp, &QToolButton::clicked, this, [this] { FolderUp(); });
    connect(spbHome, &QToolButton::clicked, this, [this] { GoHome(); });
    connect(spbNew, &QToolButton::clicked, this, [this] { CreateFolder(); });
    connect(cbxFiles, &QCheckBox::clicked, this, [this](bool checked) {
        if (cbxFiles->isVisible())
            ShowFilePanel(checked);
    });
    connect(cbxSelectedDir, &QComboBox::editTextChanged, this,
            [this](const QString &text) { ComboTextChanged(text); });
    connect(cbxSelectedDir, &QComboBox::activated, this,
            [this](int index) { GoToFolder(cbxSelectedDir->itemText(index)); });
    connect(btbOK, &QPushButton::clicked, this, [this] { OkClick(); });
    connect(btbCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ShellTreeView, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { ShowTreeContextMenu(pos); });
    connect(Splitter, &QSplitter::splitterMoved, this, [this] {
        CapturePanelWidths();
        UpdateColumnWidths();
    });

    // Key strokes reach the dialog before its controls.
    for (QWidget *child : findChildren<QWidget *>())
        child->installEventFilter(this);
}

void TShellDirDialog::CreateModels(bool hidden)
{
    FHidden = hidden;
    const QDir::Filters hiddenItems = hidden ? QDir::Hidden | QDir::System : QDir::Filters();

    QFileSystemModel *oldTree = FTreeModel;
    FTreeModel = new QFileSystemModel(this);
    FTreeModel->setFilter(QDir::Dirs | QDir::Drives | QDir::NoDotAndDotDot | hiddenItems);
    FTreeModel->setRootPath(QString());
    connect(FTreeModel, &QFileSystemModel::directoryLoaded, this, [this] { KeepSelectionVisible(); });
    if (!FTreeFilter) {
        FTreeFilter = new TFolderTreeFilter(this);
        FTreeFilter->setSourceModel(FTreeModel);
        ShellTreeView->setModel(FTreeFilter);
        for (int column = 1; column < FTreeModel->columnCount(); ++column)
            ShellTreeView->hideColumn(column);
        connect(ShellTreeView->selectionModel(), &QItemSelectionModel::currentChanged, this,
                [this] { TreeSelectionChanged(); });
        connect(FTreeFilter, &QAbstractItemModel::layoutChanged, this, [this] { KeepSelectionVisible(); });
    } else {
        FTreeFilter->setSourceModel(FTreeModel);
    }
    delete oldTree;

    QFileSystemModel *oldList = FListModel;
    FListModel = new QFileSystemModel(this);
    FListModel->setFilter(QDir::Files | QDir::NoDotAndDotDot | hiddenItems);
    QItemSelectionModel *oldSelection = ShellListView->selectionModel();
    ShellListView->setModel(FListModel);
    ShellListView->sortByColumn(0, Qt::AscendingOrder);
    delete oldSelection;
    delete oldList;
}

double TShellDirDialog::DesignFontScale() const
{
    // Width of "X" in the design font (8 points at 96 pixels per inch).
    constexpr double DesignCharWidth = 6.0;
    return std::clamp(fontMetrics().horizontalAdvance(u'X') / DesignCharWidth, 1.0, 2.0);
}

void TShellDirDialog::CentreOnScreen()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QSize frame = WindowFrameSize(this);
    const QRect area = screen->geometry();
    MoveFrameTo(QPoint(area.x() + (area.width() - frame.width()) / 2,
                       area.y() + (area.height() - frame.height()) / 2));
}

void TShellDirDialog::MoveFrameTo(const QPoint &topLeft)
{
    // A hidden window that was shown before can take the point as the
    // position of its client area; the second move corrects that.
    move(topLeft);
    const QPoint error = topLeft - QPoint(x(), y());
    if (!error.isNull())
        move(topLeft + error);
}

void TShellDirDialog::ResetPosition()
{
    MoveFrameTo(QPoint(50, 50));
}

QString TShellDirDialog::TreePath() const
{
    const QModelIndex current = ShellTreeView->currentIndex();
    if (!current.isValid())
        return QString();
    return QDir::toNativeSeparators(FTreeModel->filePath(FTreeFilter->mapToSource(current)));
}

bool TShellDirDialog::SetTreePath(const QString &path)
{
    const QString modelPath = ModelPath(path);
    if (modelPath.isEmpty())
        return false;
    const QModelIndex source = FTreeModel->index(modelPath);
    if (!source.isValid())
        return false;
    const QModelIndex index = FTreeFilter->mapFromSource(source);
    if (!index.isValid())
        return false;
    ShellTreeView->setCurrentIndex(index);
    ShellTreeView->scrollTo(index);
    FNavigated.start();
    return true;
}

void TShellDirDialog::KeepSelectionVisible()
{
    // Folders load and sort in the background, which moves the rows after a
    // folder was selected; for a moment after that it is kept in view.
    constexpr qint64 SettlingTime = 2000;
    if (FNavigated.isValid() && FNavigated.elapsed() < SettlingTime)
        ShellTreeView->scrollTo(ShellTreeView->currentIndex());
}

void TShellDirDialog::PressRootButton(TRootFolder root)
{
    switch (root) {
    case TRootFolder::Desktop: spbDesktop->setChecked(true); break;
    case TRootFolder::Documents: spbMyFiles->setChecked(true); break;
    case TRootFolder::Computer: spbComputer->setChecked(true); break;
    case TRootFolder::Network: spbNetwork->setChecked(true); break;
    case TRootFolder::Folder: break;
    }
}

void TShellDirDialog::SetRoot(TRootFolder root, const QString &folder)
{
    QString rootPath;
    switch (root) {
    case TRootFolder::Desktop:
        rootPath = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
        break;
    case TRootFolder::Documents: rootPath = GetDocumentsFolder(); break;
    case TRootFolder::Computer: break;
    case TRootFolder::Network:
        // The tree cannot list a network neighbourhood; it shows the share
        // of the folder in question.
        rootPath = NetworkShareRoot(folder.isEmpty() ? TreePath() : folder);
        break;
    case TRootFolder::Folder: rootPath = folder; break;
    }
    // A root that the platform does not have (no desktop folder, no share)
    // falls back to the computer.
    if (root != TRootFolder::Computer && !FolderExists(rootPath)) {
        root = TRootFolder::Computer;
        rootPath.clear();
        PressRootButton(root);
    }
    const QString previous = TreePath();
    FRoot = root;
    FRootPath = ModelPath(rootPath);
    FTreeFilter->SetRootFolder(FRootPath);
    QModelIndex viewRoot;
    if (!FRootPath.isEmpty())
        viewRoot = FTreeFilter->mapFromSource(FTreeModel->index(FRootPath).parent());
    ShellTreeView->setRootIndex(viewRoot);
    if (!FRootPath.isEmpty())
        ShellTreeView->expand(FTreeFilter->mapFromSource(FTreeModel->index(FRootPath)));
    if (previous.isEmpty() || !SetTreePath(previous)) {
        if (!FRootPath.isEmpty())
            SetTreePath(FRootPath);
    }
}

void TShellDirDialog::GoToFolder(const QString &dir)
{
    const TStartFolder start =
        ResolveStartFolder(dir, FDefaultDir, FolderExists, GetDocumentsFolder(), QDir::currentPath());
    spbComputer->setChecked(true);
    if (start.root == TRootFolder::Network)
        spbNetwork->setChecked(true);
    SetRoot(start.root, start.path);
    // Failures of the tree while selecting and expanding are not reported.
    if (SetTreePath(start.path))
        ShellTreeView->expand(ShellTreeView->currentIndex());
}

bool TShellDirDialog::Execute(const QString &title, bool hidden, bool fileView, bool zipAsFiles,
                              const QString &homeDir, QString &dir)
{
    // Archives are files to the file-system model, never folders.
    Q_UNUSED(zipAsFiles);
    setWindowTitle(title);
    FDefaultDir = homeDir;
    if (hidden != FHidden)
        CreateModels(hidden);
    GoToFolder(dir);
    cbxSelectedDir->setEditText(TreePath());
    UpdateVolHint();
    cbxFiles->setVisible(fileView);
    ShowFilePanel(fileView && cbxFiles->isChecked());
    if (exec() != QDialog::Accepted)
        return false;
    dir = AddBackslash(cbxSelectedDir->currentText());
    return true;
}

void TShellDirDialog::CapturePanelWidths()
{
    // Only the user's changes count, not the passing sizes while the
    // dialog lays itself out.
    if (!isVisible() || FApplyingLayout)
        return;
    FDirWidth = PanelLeft->width();
    if (PanelRight->isVisible())
        FFileWidth = PanelRight->width();
}

void TShellDirDialog::ApplyPanelLayout()
{
    FApplyingLayout = true;
    PanelRight->setVisible(FFilePanel);
    const int clientWidth = FFilePanel ? FDirWidth + Splitter->handleWidth() + FFileWidth : FDirWidth;
    resize(clientWidth, height());
    Splitter->setSizes({FDirWidth, FFilePanel ? FFileWidth : 0});
    FApplyingLayout = false;
}

void TShellDirDialog::ShowFilePanel(bool show)
{
    CapturePanelWidths();
    FFilePanel = show;
    ApplyPanelLayout();
    if (show) {
        const QString text = cbxSelectedDir->currentText();
        if (FolderExists(text))
            SetTreePath(text);
    }
    UpdateFileList();
    const QString path = TreePath();
    cbxSelectedDir->setEditText(path);
    UpdateVolHint();
    btbOK->setEnabled(FolderExists(path));
}

void TShellDirDialog::UpdateVolHint()
{
    laVolHint->setText(FreeSpaceTextOf(cbxSelectedDir->currentText()));
}

void TShellDirDialog::UpdateFileList()
{
    if (PanelRight->isHidden())
        return;
    const QString path = ModelPath(TreePath());
    if (path.isEmpty())
        return;
    FListModel->setRootPath(path);
    ShellListView->setRootIndex(FListModel->index(path));
    UpdateColumnWidths();
}

void TShellDirDialog::UpdateColumnWidths()
{
    if (!isVisible() || !cbxFiles->isChecked())
        return;
    const int charWidth = std::max(1, fontMetrics().horizontalAdvance(u'X'));
    const QList<int> widths = FileColumnChars(ShellListView->width() / charWidth);
    for (int column = 0; column < widths.size(); ++column)
        ShellListView->setColumnWidth(column, widths[column] * charWidth);
}

void TShellDirDialog::ShowHistoryInCombo()
{
    const QString text = cbxSelectedDir->currentText();
    cbxSelectedDir->AssignList(FDirList);
    cbxSelectedDir->setEditText(text);
}

void TShellDirDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FApplyingLayout = true;
    Splitter->setSizes({FDirWidth, FFilePanel ? FFileWidth : 0});
    FApplyingLayout = false;
    AdjustFormPos(this);
    spbHome->setVisible(!FDefaultDir.isEmpty());
    spbHome->setToolTip(Tr(N_("Default: ")) + FDefaultDir);
    ShowHistoryInCombo();
    if (FolderExists(cbxSelectedDir->currentText()))
        SetTreePath(cbxSelectedDir->currentText());
    ShellTreeView->scrollTo(ShellTreeView->currentIndex());
    FocusTree();
    UpdateColumnWidths();
}

void TShellDirDialog::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    CapturePanelWidths();
    UpdateColumnWidths();
}

bool TShellDirDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *widget = qobject_cast<QWidget *>(watched);
        const auto *key = static_cast<QKeyEvent *>(event);
        // Keys of popups (the history list, completions) stay theirs.
        if (widget && widget->window() == this) {
            if (key->key() == Qt::Key_F5 && key->modifiers() == Qt::NoModifier) {
                RefreshTree();
                return true;
            }
            if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
                !(key->modifiers() & ~Qt::KeypadModifier)) {
                // Enter confirms like the OK button, and only when it may.
                if (btbOK->isEnabled())
                    OkClick();
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TShellDirDialog::TreeSelectionChanged()
{
    if (!isVisible())
        return;
    const QString path = TreePath();
    if (path.isEmpty()) {
        laVolHint->clear();
        return;
    }
    btbOK->setEnabled(true);
    QString shown = path;
    const QString shortcut = AddBackslash(path) + QStringLiteral("target.lnk");
    if (QFileInfo::exists(shortcut)) {
        QString target, arguments, workingFolder, description;
        if (GetShortcutInfo(shortcut, target, arguments, workingFolder, description) && !target.isEmpty())
            shown = target;
    }
    cbxSelectedDir->setEditText(shown);
    UpdateVolHint();
    UpdateFileList();
}

void TShellDirDialog::ComboTextChanged(const QString &text)
{
    btbOK->setEnabled(FolderExists(text));
}

void TShellDirDialog::FocusTree()
{
    ShellTreeView->setFocus(Qt::OtherFocusReason);
}

void TShellDirDialog::FolderUp()
{
    const QModelIndex current = ShellTreeView->currentIndex();
    const bool topNode = !current.isValid() || current.parent() == ShellTreeView->rootIndex();
    QString parentPath;
    if (!topNode)
        parentPath = QDir::toNativeSeparators(
            FTreeModel->filePath(FTreeFilter->mapToSource(current.parent())));
    const TFolderUpStep step = FolderUpStep(FRoot, topNode, TreePath(), parentPath);
    if (step.rootToComputer) {
        spbComputer->setChecked(true);
        SetRoot(TRootFolder::Computer);
    }
    if (!step.path.isEmpty())
        SetTreePath(step.path);
    ShellTreeView->scrollTo(ShellTreeView->currentIndex());
    FocusTree();
}

void TShellDirDialog::GoHome()
{
    if (!FolderExists(FDefaultDir)) {
        ErrorDialog(MessageText(N_("Directory not found:\r\n%s!"), FDefaultDir));
        RemoveDirHistory(FDirList, FDefaultDir);
        cbxSelectedDir->AssignList(FDirList);
        if (cbxSelectedDir->count() > 0)
            cbxSelectedDir->setCurrentIndex(0);
        FocusTree();
        return;
    }
    if (FRoot == TRootFolder::Network || IsDriveRoot(FDefaultDir)) {
        SetRoot(TRootFolder::Folder, FDefaultDir);
    } else {
        spbComputer->setChecked(true);
        SetRoot(TRootFolder::Computer);
        SetTreePath(FDefaultDir);
        ShellTreeView->scrollTo(ShellTreeView->currentIndex());
    }
    FocusTree();
}

void TShellDirDialog::CreateFolder()
{
    const QString current = TreePath();
    QInputDialog input(this);
    input.setObjectName(QStringLiteral("NewFolderInput"));
    input.setWindowTitle(current);
    input.setLabelText(Tr(N_("New subdirectory:")));
    input.setTextValue(QString());
    if (input.exec() == QDialog::Accepted) {
        const QString folder = AddBackslash(current) + input.textValue();
        if (!current.isEmpty() && QDir().mkpath(folder)) {
            spbComputer->setChecked(true);
            SetRoot(TRootFolder::Computer);
            SetTreePath(folder);
            ShellTreeView->scrollTo(ShellTreeView->currentIndex());
        } else {
            ErrorDialog(MessageText(N_("Could not create directory:\r\n%s!"), folder));
        }
    }
    FocusTree();
}

void TShellDirDialog::DeleteFolder()
{
    const QString folder = TreePath();
    if (folder.isEmpty())
        return;
    const int choice = ExecuteSelectDialog(
        Tr(N_("Delete directory")), SafeFormat(Tr(N_("Delete \"%s\"")), folder), mtConfirmation,
        fsBold, {Tr(N_("Definitely")), Tr(N_("To recycle bin"))});
    if (choice != 0 && choice != 1)
        return;
    FolderUp();
    bool ok = false;
    if (choice == 1) {
        ok = RecycleFolder(static_cast<quintptr>(winId()), folder) == 0;
        if (ok)
            InfoDialog(MessageText(N_("%s moved to Recycle Bin!"), folder));
    } else {
        TDeletionCounts counts;
        DeleteFolderTree(folder, QString(), true, counts);
        ok = counts.Errors == 0;
        if (ok)
            InfoDialog(SafeFormat(Tr(N_("%u directories with %u files deleted!")), counts.Dirs,
                                  counts.Files));
    }
    if (!ok)
        ErrorDialog(MessageText(N_("Error deleting directory:\r\n%s!"), folder));
    RefreshTree();
}

void TShellDirDialog::RefreshTree()
{
    // The file-system model follows most changes by itself; a refresh reads
    // the folders anew.
    const QString path = ExistingFolderOf(TreePath());
    const TRootFolder root = FRoot;
    const QString rootPath = FRootPath;
    CreateModels(FHidden);
    FRoot = TRootFolder::Computer;
    SetRoot(root, QDir::toNativeSeparators(rootPath));
    if (!path.isEmpty())
        SetTreePath(path);
    UpdateFileList();
}

void TShellDirDialog::OkClick()
{
    AddDirHistory(FDirList, cbxSelectedDir->currentText());
    ShowHistoryInCombo();
    accept();
}

void TShellDirDialog::ShowTreeContextMenu(const QPoint &pos)
{
    const QModelIndex index = ShellTreeView->indexAt(pos);
    if (index.isValid())
        ShellTreeView->setCurrentIndex(index);
    PopupMenu->exec(ShellTreeView->viewport()->mapToGlobal(pos));
}

void TShellDirDialog::LoadFromIni(const QString &iniName, const QString &section)
{
    FIniName = iniName;
    FIniSection = section;
    CapturePanelWidths();
    TShellDirSettings settings;
    settings.left = x();
    settings.height = height();
    settings.dirWidth = FDirWidth;
    settings.fileWidth = FFileWidth;
    if (!LoadShellDirSettings(iniName, section, settings))
        return;
    FDirList = settings.history;
    FDirWidth = std::max(1, settings.dirWidth);
    FFileWidth = std::max(1, settings.fileWidth);
    MoveFrameTo(QPoint(settings.left, settings.top));
    resize(width(), std::max(1, settings.height));
    ApplyPanelLayout();
    cbxFiles->setChecked(settings.fileView);
    if (settings.top == 0)
        CentreOnScreen();
}

} // namespace dialogs
