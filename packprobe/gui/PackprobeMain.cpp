#include "packprobe/gui/PackprobeMain.h"

#include "packprobe/gui/AnalysisJob.h"
#include "packprobe/gui/PwdDlg.h"

#include "dialogs/HListBox.h"
#include "dialogs/HandlerGuard.h"
#include "dialogs/MsgDialogs.h"
#include "dialogs/WinUtils.h"
#include "foundation/IniFile.h"
#include "foundation/InitProg.h"
#include "foundation/LangUtils.h"

#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace packprobe {

using namespace foundation;
using namespace dialogs;

using dialogs::Guarded;
using dialogs::RunGuarded;

namespace {

constexpr int FieldColumnWidth = 140;
constexpr int ValueColumnWidth = 205;
constexpr int ClientWidth = 371;
constexpr int ClientHeight = 466;

QTreeWidget *NewReportList(const char *name, QWidget *parent)
{
    auto *list = new QTreeWidget(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setColumnCount(2);
    list->setHeaderLabels({Translate("Field"), Translate("Value")});
    list->setColumnWidth(0, FieldColumnWidth);
    list->setColumnWidth(1, ValueColumnWidth);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    return list;
}

// Trailer and data lists hold a few rows each and keep to the bottom.
void FixRows(QTreeWidget *list, int rows)
{
    const int rowHeight = list->fontMetrics().height() + 6;
    list->setFixedHeight(list->header()->sizeHint().height() + rows * rowHeight
                         + 2 * list->frameWidth() + 2);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

void FillList(QTreeWidget *list, const QList<TReportRow> &rows)
{
    list->clear();
    for (const TReportRow &row : rows) {
        auto *item = new QTreeWidgetItem(list, {row.Field, row.Value});
        // Long values (stored names) are cut at the column's edge.
        item->setToolTip(1, row.Value);
    }
    // Longer field names (translations) stay readable.
    list->resizeColumnToContents(0);
    if (list->columnWidth(0) < FieldColumnWidth)
        list->setColumnWidth(0, FieldColumnWidth);
}

QString LocalFileOf(const QMimeData *data)
{
    if (!data || !data->hasUrls())
        return QString();
    const QList<QUrl> urls = data->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return QString();
    return urls.first().toLocalFile();
}

} // namespace

QString VerdictLineText(const TGzVerdict &verdict)
{
    QString mark;
    switch (verdict.State) {
    case TVerdictState::Intact:
        mark = QStringLiteral("\u2714"); // heavy check mark
        break;
    case TVerdictState::Truncated:
        mark = QStringLiteral("\u26A0"); // warning sign
        break;
    case TVerdictState::Mismatch:
    case TVerdictState::Error:
        mark = QStringLiteral("\u2718"); // heavy ballot x
        break;
    }
    QStringList lines{mark + QLatin1Char(' ') + VerdictText(verdict)};
    for (const QString &note : VerdictNoteTexts(verdict))
        lines.append(QStringLiteral("    ") + note);
    return lines.join(QLatin1Char('\n'));
}

TPackprobePaths DefaultPackprobePaths()
{
    TPackprobePaths paths;
    GetUserFolders(paths.AppPath, paths.UserPath);
    paths.IniName = MakeFileName(paths.AppPath, QStringLiteral("Packprobe"), QStringLiteral("ini"));
    return paths;
}

TPackprobeForm::TPackprobeForm(const TPackprobePaths &paths, QWidget *parent)
    : QWidget(parent), FPaths(paths)
{
    CreateControls();
    FJob = new TAnalysisJob(
        [this](const QString &fileName, QByteArray &password) {
            return AskPassword(fileName, password);
        },
        this);
    connect(FJob, &TAnalysisJob::ProgressChanged, pbProgress, &QProgressBar::setValue);
    connect(FJob, &TAnalysisJob::Finished, this,
            [this](const TAnalysisReport &report) { RunGuarded([&] { ShowReport(report); }); });
    connect(FJob, &TAnalysisJob::Failed, this,
            [this](const QString &text) { RunGuarded([&] { AnalysisFailed(text); }); });
    FPasswordDialog = new TPasswordDialog(this);
    RunGuarded([this] { FormCreate(); });
}

TPackprobeForm::~TPackprobeForm()
{
    // The worker uses the analyzer: it ends before the analyzer goes.
    delete FJob;
    FJob = nullptr;
}

void TPackprobeForm::CreateControls()
{
    setObjectName(QStringLiteral("PackprobeForm"));
    setWindowTitle(QStringLiteral("Packprobe"));
    setAcceptDrops(true);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(4);

    Label1 = new QLabel(Translate("gz file:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    FileEdit = new THistoryCombo(this);
    FileEdit->setObjectName(QStringLiteral("FileEdit"));
    FileEdit->SetMaxItems(PackprobeHistoryItems);
    FileEdit->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    FileEdit->setMinimumContentsLength(20);
    Label1->setBuddy(FileEdit);
    FileBtn = new QToolButton(this);
    FileBtn->setObjectName(QStringLiteral("FileBtn"));
    FileBtn->setToolTip(Translate("Select gz file"));
    FileBtn->setIcon(QIcon::fromTheme(QStringLiteral("document-open"),
                                      style()->standardIcon(QStyle::SP_DialogOpenButton)));
    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(FileEdit, 1);
    fileRow->addWidget(FileBtn);
    layout->addWidget(Label1);
    layout->addLayout(fileRow);

    Label2 = new QLabel(Translate("Header:"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    lvHeader = NewReportList("lvHeader", this);
    Label2->setBuddy(lvHeader);
    layout->addWidget(Label2);
    layout->addWidget(lvHeader, 1);

    Label3 = new QLabel(Translate("Trailer:"), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    lvTrailer = NewReportList("lvTrailer", this);
    FixRows(lvTrailer, 2);
    Label3->setBuddy(lvTrailer);
    layout->addWidget(Label3);
    layout->addWidget(lvTrailer);

    Label4 = new QLabel(Translate("Values computed from data:"), this);
    Label4->setObjectName(QStringLiteral("Label4"));
    lvData = NewReportList("lvData", this);
    FixRows(lvData, 3);
    Label4->setBuddy(lvData);
    layout->addWidget(Label4);
    layout->addWidget(lvData);

    // Whether the stored values agree with the data; colour is only a second
    // cue, the mark and the text say it.
    lblVerdict = new QLabel(this);
    lblVerdict->setObjectName(QStringLiteral("lblVerdict"));
    lblVerdict->setTextFormat(Qt::PlainText);
    lblVerdict->setWordWrap(true);
    lblVerdict->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblVerdict->hide();
    layout->addWidget(lblVerdict);

    pbProgress = new QProgressBar(this);
    pbProgress->setObjectName(QStringLiteral("pbProgress"));
    pbProgress->setRange(0, TAnalysisJob::ProgressRange);
    pbProgress->setTextVisible(false);
    pbProgress->hide();
    btCancel = new QPushButton(Translate("Cancel"), this);
    btCancel->setObjectName(QStringLiteral("btCancel"));
    btCancel->hide();
    btSave = new QPushButton(Translate("Save uncompressed data"), this);
    btSave->setObjectName(QStringLiteral("btSave"));
    btSave->setIcon(QIcon::fromTheme(QStringLiteral("document-save"),
                                     style()->standardIcon(QStyle::SP_DialogSaveButton)));
    // Nothing is unpacked yet, so there is nothing to save.
    btSave->setEnabled(false);
    auto *bottomRow = new QHBoxLayout;
    bottomRow->addWidget(pbProgress, 1);
    bottomRow->addWidget(btCancel);
    bottomRow->addStretch();
    bottomRow->addWidget(btSave);
    layout->addLayout(bottomRow);

    resize(ClientWidth, ClientHeight);

    connect(FileBtn, &QToolButton::clicked, this, Guarded([this] { FileBtnClick(); }));
    connect(FileEdit, &QComboBox::activated, this,
            [this](int index) { RunGuarded([&] { FileEditCloseUp(index); }); });
    connect(btSave, &QPushButton::clicked, this, Guarded([this] { btSaveClick(); }));
    connect(btCancel, &QPushButton::clicked, this, Guarded([this] { btCancelClick(); }));
}

void TPackprobeForm::FormCreate()
{
    const TIniFile ini(FPaths.IniName);
    const QString config = QString::fromLatin1(PackprobeConfigSection);
    const int top = ini.ReadInteger(config, QStringLiteral("Top"), 0);
    const int left = ini.ReadInteger(config, QStringLiteral("Left"), 0);
    move(left, top);
    FileEdit->LoadFromIni(FPaths.IniName, QString::fromLatin1(PackprobeHistorySection));
    FileEdit->setEditText(ini.ReadString(config, QStringLiteral("File"), QString()));
    FLastDir = ini.ReadString(config, QStringLiteral("Directory"), FPaths.UserPath);
}

void TPackprobeForm::SetStartFile(const QString &fileName)
{
    if (fileName.isEmpty())
        return;
    const QString name = QFileInfo(fileName).absoluteFilePath();
    FileEdit->setEditText(name);
    FileEdit->AddItem(name);
}

void TPackprobeForm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (FShown)
        return;
    FShown = true;
    // A window restored from the settings of another screen layout stays
    // reachable.
    AdjustFormPos(this);
    // The start-up choice runs once the window is on the screen.
    QTimer::singleShot(0, this, Guarded([this] {
                           FormShow();
                           Q_EMIT StartUpDone();
                       }));
}

void TPackprobeForm::FormShow()
{
    bool analysed = false;
    const QString text = FileEdit->currentText();
    if (text.isEmpty() || !QFileInfo(text).isFile())
        analysed = ChooseAndAnalyze();
    if (FileEdit->currentText().isEmpty()) {
        close();
        return;
    }
    if (!analysed)
        AnalyzeFile(FileEdit->currentText());
}

void TPackprobeForm::closeEvent(QCloseEvent *event)
{
    if (FJob && FJob->IsRunning()) {
        // The window closes once the worker has stopped; waiting here could
        // leave a password question unanswered.
        FClosePending = true;
        FJob->Cancel();
        btCancel->setEnabled(false);
        event->ignore();
        return;
    }
    RunGuarded([this] { FormClose(); });
    event->accept();
}

void TPackprobeForm::FormClose()
{
    TIniFile ini(FPaths.IniName);
    const QString config = QString::fromLatin1(PackprobeConfigSection);
    ini.WriteInteger(config, QStringLiteral("Top"), pos().y());
    ini.WriteInteger(config, QStringLiteral("Left"), pos().x());
    ini.WriteString(config, QStringLiteral("File"), FileEdit->currentText());
    ini.WriteString(config, QStringLiteral("Directory"), FLastDir);
    // The scratch data goes with the analyzer.
    FAnalyzer.reset();
    FSaveEnabled = false;
    btSave->setEnabled(false);
}

void TPackprobeForm::FileBtnClick()
{
    ChooseAndAnalyze();
}

bool TPackprobeForm::ChooseAndAnalyze()
{
    const QString text = FileEdit->currentText();
    const QString start = text.isEmpty() ? FPaths.UserPath : QFileInfo(text).absolutePath();
    QFileDialog dialog(this, Translate("Select gz file"), start,
                       Translate("gz files") + QStringLiteral(" (*.gz *.gze *.GZ *.GZE)"));
    dialog.setObjectName(QStringLiteral("OpenDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setSizeGripEnabled(true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    AnalyzeChosen(dialog.selectedFiles().constFirst());
    return true;
}

void TPackprobeForm::AnalyzeChosen(const QString &fileName)
{
    FileEdit->setEditText(fileName);
    FileEdit->AddItem(fileName);
    AnalyzeFile(fileName);
}

void TPackprobeForm::FileEditCloseUp(int index)
{
    const QString name = index >= 0 ? FileEdit->itemText(index) : QString();
    FileEdit->setEditText(name);
    AnalyzeFile(name);
}

void TPackprobeForm::btSaveClick()
{
    if (!FAnalyzer)
        return;
    QFileDialog dialog(this, Translate("Save to file"), FLastDir,
                       Translate("all") + QStringLiteral(" (*)"));
    dialog.setObjectName(QStringLiteral("SaveDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setSizeGripEnabled(true);
    if (!FGzName.isEmpty())
        dialog.selectFile(QDir(FLastDir).filePath(FGzName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString target = dialog.selectedFiles().constFirst();
    // The dialog has asked before replacing; the analysed file itself and a
    // write-protected one are still refused by the analyzer.
    FAnalyzer->SaveUnpackedData(target, true);
    FLastDir = QFileInfo(target).absolutePath();
}

void TPackprobeForm::btCancelClick()
{
    FJob->Cancel();
    btCancel->setEnabled(false);
}

void TPackprobeForm::AnalyzeFile(const QString &fileName)
{
    if (IsBusy())
        return;
    if (!FAnalyzer)
        FAnalyzer = std::make_unique<TGzAnalyzer>();
    if (QFileInfo(fileName).isFile()) {
        lvHeader->clear();
        lvTrailer->clear();
        lvData->clear();
        lblVerdict->hide();
    }
    SetBusy(true);
    FJob->Start(*FAnalyzer, fileName);
}

bool TPackprobeForm::IsBusy() const
{
    return FJob && FJob->IsRunning();
}

bool TPackprobeForm::AskPassword(const QString &, QByteArray &password)
{
    return FPasswordDialog->Execute(PosRightOfControl(lvHeader), windowTitle(),
                                    Translate("To analyze the encrypted gz file a password is required!"),
                                    password)
           == mrOk;
}

void TPackprobeForm::ShowReport(const TAnalysisReport &report)
{
    if (report.ListsCleared) {
        FillList(lvHeader, report.HeaderRows);
        FillList(lvTrailer, report.TrailerRows);
        FillList(lvData, report.DataRows);
        ShowVerdict(report.Verdict);
    }
    if (report.Header)
        FGzName = report.SaveName;
    if (report.SaveEnabled)
        FSaveEnabled = *report.SaveEnabled;
    else if (report.ListsCleared)
        // The lists show another file now; the data of an earlier unpacking
        // is not offered under this file's name.
        FSaveEnabled = false;
    SetBusy(false);
    if (FClosePending) {
        close();
        return;
    }
    if (!report.Message.isEmpty()) {
        if (report.Stage == TAnalysisStage::OpenError)
            dialogs::ShowErrorBox(report.Message);
        else
            ShowMessage(report.Message);
    }
    Q_EMIT AnalysisFinished();
}

void TPackprobeForm::AnalysisFailed(const QString &errorText)
{
    FSaveEnabled = false;
    SetBusy(false);
    if (FClosePending) {
        close();
        return;
    }
    if (!errorText.isEmpty())
        dialogs::ShowErrorBox(errorText);
    Q_EMIT AnalysisFinished();
}

void TPackprobeForm::ShowMessage(const QString &text)
{
    ErrorDialogAt(PosRightOfControl(lvHeader), text);
}

void TPackprobeForm::ShowVerdict(const TGzVerdict &verdict)
{
    lblVerdict->setText(VerdictLineText(verdict));
    QColor colour;
    switch (verdict.State) {
    case TVerdictState::Intact:
        colour = QColor(0x1b, 0x7a, 0x2e);
        break;
    case TVerdictState::Truncated:
        colour = QColor(0xa0, 0x5a, 0x00);
        break;
    case TVerdictState::Mismatch:
    case TVerdictState::Error:
        colour = QColor(0xb0, 0x1c, 0x1c);
        break;
    }
    QPalette palette = lblVerdict->palette();
    palette.setColor(QPalette::WindowText, colour);
    lblVerdict->setPalette(palette);
    lblVerdict->show();
}

void TPackprobeForm::SetBusy(bool busy)
{
    pbProgress->setValue(0);
    pbProgress->setVisible(busy);
    btCancel->setVisible(busy);
    btCancel->setEnabled(busy);
    FileEdit->setEnabled(!busy);
    FileBtn->setEnabled(!busy);
    btSave->setEnabled(!busy && FSaveEnabled);
}

void TPackprobeForm::dragEnterEvent(QDragEnterEvent *event)
{
    if (!IsBusy() && !LocalFileOf(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TPackprobeForm::dropEvent(QDropEvent *event)
{
    const QString name = LocalFileOf(event->mimeData());
    if (name.isEmpty() || IsBusy())
        return;
    event->acceptProposedAction();
    RunGuarded([&] { AnalyzeChosen(name); });
}

} // namespace packprobe
