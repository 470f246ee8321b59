#pragma once

// The analyzer's main window: one gz file at a time, shown in three
// two-column lists (what the header says, what the trailer says, what
// unpacking the data yields), and saving of the unpacked data.

#include "packprobe/core/GzAnalysis.h"

#include <QString>
#include <QWidget>

#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;
class QToolButton;
class QTreeWidget;
namespace dialogs {
class THistoryCombo;
}

namespace packprobe {

class TAnalysisJob;
class TPasswordDialog;

// Where the window keeps its settings and where its dialogs start.
struct TPackprobePaths
{
    QString AppPath;  // per-user settings folder, with a trailing separator
    QString UserPath; // the user's documents folder, with a trailing separator
    QString IniName;  // the settings file
};

// The verdict line: a mark that tells the state without colour, the verdict
// and one line per note.
QString VerdictLineText(const TGzVerdict &verdict);

// AppPath and UserPath from GetUserFolders; IniName "Packprobe.ini" in AppPath.
TPackprobePaths DefaultPackprobePaths();

inline constexpr char PackprobeConfigSection[] = "Config";
inline constexpr char PackprobeHistorySection[] = "GzFiles";
inline constexpr int PackprobeHistoryItems = 15;

class TPackprobeForm : public QWidget
{
    Q_OBJECT

public:
    explicit TPackprobeForm(const TPackprobePaths &paths, QWidget *parent = nullptr);
    ~TPackprobeForm() override;

    // The file named on the command line: analysed at start instead of the
    // remembered one.
    void SetStartFile(const QString &fileName);

    // Starts the analysis of the file; the lists show its report once it is
    // done (AnalysisFinished). Ignored while an analysis runs.
    void AnalyzeFile(const QString &fileName);
    bool IsBusy() const;

    QString LastDir() const { return FLastDir; }
    QString GzName() const { return FGzName; }
    const TPackprobePaths &Paths() const { return FPaths; }

Q_SIGNALS:
    // An analysis has ended and its report (or error) is shown.
    void AnalysisFinished();
    // The start-up choice is made (after the first showing).
    void StartUpDone();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void CreateControls();
    void FormCreate();
    void FormShow();
    void FormClose();
    void FileBtnClick();
    void FileEditCloseUp(int index);
    void btSaveClick();
    void btCancelClick();

    // Runs the open dialog; true when a file was chosen (and its analysis
    // started).
    bool ChooseAndAnalyze();
    void AnalyzeChosen(const QString &fileName);
    bool AskPassword(const QString &fileName, QByteArray &password);
    void ShowReport(const TAnalysisReport &report);
    void AnalysisFailed(const QString &errorText);
    void ShowMessage(const QString &text);
    void ShowVerdict(const TGzVerdict &verdict);
    void SetBusy(bool busy);

    TPackprobePaths FPaths;
    QString FLastDir;
    QString FGzName;
    QString FStartFile;
    bool FStartFileGiven = false;
    bool FShown = false;
    bool FClosePending = false;
    bool FSaveEnabled = false;

    std::unique_ptr<TGzAnalyzer> FAnalyzer;
    TAnalysisJob *FJob = nullptr;
    TPasswordDialog *FPasswordDialog = nullptr;

    QLabel *Label1 = nullptr;
    dialogs::THistoryCombo *FileEdit = nullptr;
    QToolButton *FileBtn = nullptr;
    QLabel *Label2 = nullptr;
    QTreeWidget *lvHeader = nullptr;
    QLabel *Label3 = nullptr;
    QTreeWidget *lvTrailer = nullptr;
    QLabel *Label4 = nullptr;
    QTreeWidget *lvData = nullptr;
    QLabel *lblVerdict = nullptr;
    QProgressBar *pbProgress = nullptr;
    QPushButton *btCancel = nullptr;
    QPushButton *btSave = nullptr;
};

} // namespace packprobe
