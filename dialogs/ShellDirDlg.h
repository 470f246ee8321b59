#pragma once

// Folder selection dialog: a folder tree with root buttons (desktop,
// documents, computer, network where the platform has one), an optional file
// list beside it, a history of the chosen folders, and commands to create,
// delete and refresh folders. Its history and layout can be kept in a section
// of a settings file.

#include <QDialog>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <functional>

class QCheckBox;
class QFileSystemModel;
class QLabel;
class QMenu;
class QPushButton;
class QSplitter;
class QToolButton;
class QTreeView;

namespace dialogs {

class THistoryCombo;
class TFolderTreeFilter;

// --- rules of the dialog that do not need a window ---------------------------

inline constexpr int DirHistoryMax = 15;

// Puts dir at the top of the history: an entry equal to it (letter case
// ignored) moves up and takes the new spelling; a new one pushes out the
// oldest when the history is full. An empty text changes nothing.
void AddDirHistory(QStringList &history, const QString &dir);
// Removes the entry equal to dir (letter case ignored).
void RemoveDirHistory(QStringList &history, const QString &dir);

// "<free> free of <total>" with 1024-based sizes; empty when a size is unknown
// (negative).
QString FreeSpaceText(qint64 freeBytes, qint64 totalBytes);
// The free-space text of the drive that holds folder; empty when the drive
// cannot be read.
QString FreeSpaceTextOf(const QString &folder);

// Widths, in characters, of the file list's name, size, type and date columns
// for a list that is listWidthChars characters wide.
QList<int> FileColumnChars(int listWidthChars);

// Roots the tree can show.
enum class TRootFolder { Desktop, Documents, Computer, Network, Folder };

// True for a network path ("\\server\share\…"); only Windows has them.
bool IsNetworkPath(const QString &path);
// "\\server\share" of a network path; empty for other paths.
QString NetworkShareRoot(const QString &path);

struct TStartFolder
{
    QString path;
    TRootFolder root = TRootFolder::Computer;
};

// Where the dialog starts for the folder text dir: the default folder when
// dir is empty; the documents folder (else the current directory) under the
// computer root when that folder does not exist; a network path under the
// network root.
TStartFolder ResolveStartFolder(const QString &dir, const QString &defaultDir,
                                const std::function<bool(const QString &)> &folderExists,
                                const QString &documentsFolder, const QString &currentFolder);

// What "one folder up" does. The tree shows its root folder as the single top
// node; topNode says that the selected node is that node (or nothing is
// selected), parentPath is the selected node's parent folder otherwise.
struct TFolderUpStep
{
    bool rootToComputer = false; // switch the tree to the computer root
    QString path;                // folder to select then; empty: keep the selection
};
TFolderUpStep FolderUpStep(TRootFolder root, bool topNode, const QString &currentPath,
                           const QString &parentPath);

// What the dialog keeps in its settings section.
struct TShellDirSettings
{
    QStringList history;
    int top = 0;
    int left = 0;
    int height = 0;
    int dirWidth = 0;
    int fileWidth = 0;
    bool fileView = false;
};

// Erases the section and writes the history (History0 …) and the layout keys
// Top, Left, Height, DirWidth, FileWidth and Fileview. False when a write failed.
bool SaveShellDirSettings(const QString &iniName, const QString &section,
                          const TShellDirSettings &settings);
// Reads the section when the file exists and the section name is not empty;
// the layout values already in settings are the defaults (except Top, whose
// default is 0, and Fileview, false). Returns whether anything was read.
bool LoadShellDirSettings(const QString &iniName, const QString &section,
                          TShellDirSettings &settings);

// --- the dialog --------------------------------------------------------------

class TShellDirDialog : public QDialog
{
public:
    explicit TShellDirDialog(QWidget *parent = nullptr);
    ~TShellDirDialog() override;

    // Shows the dialog modally, starting at the folder dir (the home folder
    // when dir is empty). On OK dir receives the chosen folder with a
    // trailing separator and the result is true. hidden shows hidden and
    // system items; fileView offers the "Show files" check box. zipAsFiles is
    // accepted for compatibility: archives always appear as files here.
    bool Execute(const QString &title, bool hidden, bool fileView, bool zipAsFiles,
                 const QString &homeDir, QString &dir);

    // Remembers the names (always); reads history and layout when the file
    // exists and the section is named. The destructor writes them back.
    void LoadFromIni(const QString &iniName, const QString &section);
    void ResetPosition();

    const QStringList &DirList() const { return FDirList; }
    QString DefaultDir() const { return FDefaultDir; }
    TRootFolder Root() const { return FRoot; }
    // The folder selected in the tree, with native separators; empty when none.
    QString TreePath() const;
    // Selects a folder in the tree; false when it is not shown under the current root.
    bool SetTreePath(const QString &path);

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void CreateControls();
    void CreateModels(bool hidden);
    void CentreOnScreen();
    double DesignFontScale() const;
    void MoveFrameTo(const QPoint &topLeft);
    void SetRoot(TRootFolder root, const QString &folder = QString());
    void PressRootButton(TRootFolder root);
    void GoToFolder(const QString &dir);
    void ShowFilePanel(bool show);
    void CapturePanelWidths();
    void ApplyPanelLayout();
    void UpdateVolHint();
    void UpdateFileList();
    void UpdateColumnWidths();
    void ShowHistoryInCombo();
    void TreeSelectionChanged();
    void ComboTextChanged(const QString &text);
    void FolderUp();
    void GoHome();
    void CreateFolder();
    void DeleteFolder();
    void RefreshTree();
    void OkClick();
    void ShowTreeContextMenu(const QPoint &pos);
    void FocusTree();
    void KeepSelectionVisible();

    QString FDefaultDir;
    QString FIniName;
    QString FIniSection;
    QStringList FDirList;
    TRootFolder FRoot = TRootFolder::Computer;
    QString FRootPath;
    bool FHidden = false;
    // Panel widths as designed, kept while the file panel is hidden.
    int FDirWidth = 411;
    int FFileWidth = 390;
    bool FFilePanel = true;
    bool FApplyingLayout = false;
    QElapsedTimer FNavigated;

    QFileSystemModel *FTreeModel = nullptr;
    TFolderTreeFilter *FTreeFilter = nullptr;
    QFileSystemModel *FListModel = nullptr;

    QSplitter *Splitter = nullptr;
    QWidget *PanelLeft = nullptr;
    QWidget *PanelRight = nullptr;
    QWidget *panRoot = nullptr;
    QToolButton *spbDesktop = nullptr;
    QToolButton *spbMyFiles = nullptr;
    QToolButton *spbComputer = nullptr;
    QToolButton *spbNetwork = nullptr;
    QTreeView *ShellTreeView = nullptr;
    QTreeView *ShellListView = nullptr;
    QLabel *Label1 = nullptr;
    QCheckBox *cbxFiles = nullptr;
    QToolButton *spbHome = nullptr;
    QToolButton *spbUp = nullptr;
    QToolButton *spbNew = nullptr;
    THistoryCombo *cbxSelectedDir = nullptr;
    QLabel *laVolHint = nullptr;
    QPushButton *btbOK = nullptr;
    QPushButton *btbCancel = nullptr;
    QMenu *PopupMenu = nullptr;
};

} // namespace dialogs
