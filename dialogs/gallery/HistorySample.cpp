#include "dialogs/HListBox.h"
#include "dialogs/gallery/Gallery.h"
#include "dialogs/gallery/WinUtilsSample.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTextStream>
#include <QToolButton>
#include <QVBoxLayout>

using namespace dialogs;

using namespace dialogs;

namespace {

// Sample content: the file history of the gz analyzer.
QStringList SampleFiles()
{
    const QString base = QDir::homePath() + QStringLiteral("/Backups/Vaultkeep/");
    return {base + "Mail/Inbox.gz",        base + "Documents/Letters/offer-2026.odt.gze",
            base + "Photos/holiday.tar.gz", base + "Projects/R&D notes.txt.gz",
            base + "Mail/Sent.gz",          base + "Documents/taxes.pdf.gze"};
}

class THistorySample : public QDialog
{
public:
    explicit THistorySample(const QStringList &options)
    {
        setObjectName(QStringLiteral("HistorySample"));
        setWindowTitle(QStringLiteral("History list and history combo box"));

        auto *menuBar = new QMenuBar(this);
        FileMenu = menuBar->addMenu(QStringLiteral("&File"));
        FileMenu->addAction(QStringLiteral("&Open ..."));
        FileMenu->addAction(QStringLiteral("&Save unpacked data ..."));
        RecentMenu = menuBar->addMenu(QStringLiteral("&Recent files"));

        FileEdit = new THistoryCombo(this);
        FileEdit->setObjectName(QStringLiteral("FileEdit"));
        FileEdit->SetMaxItems(15);
        FileEdit->setMinimumWidth(460);
        auto *browse = new QToolButton(this);
        browse->setText(QStringLiteral("..."));
        auto *fileRow = new QHBoxLayout;
        fileRow->addWidget(FileEdit, 1);
        fileRow->addWidget(browse);

        lbHistory = new QListWidget(this);
        lbHistory->setObjectName(QStringLiteral("lbHistory"));
        laClicked = new QLabel(QStringLiteral("Choose a file from the File menu."), this);

        auto *form = new QFormLayout;
        form->addRow(QStringLiteral("Gz file:"), fileRow);
        form->addRow(QStringLiteral("History:"), lbHistory);
        form->addRow(QString(), laClicked);

        auto *buttons = new QDialogButtonBox(this);
        QPushButton *add = buttons->addButton(QStringLiteral("Add"), QDialogButtonBox::ActionRole);
        QPushButton *remove = buttons->addButton(QStringLiteral("Remove"), QDialogButtonBox::ActionRole);
        buttons->addButton(QDialogButtonBox::Close);

        auto *layout = new QVBoxLayout(this);
        layout->setMenuBar(menuBar);
        layout->addLayout(form);
        layout->addWidget(buttons);

        // The menus and the list mirror the combo box's history.
        THistoryList &history = FileEdit->HistoryList();
        history.SetRadioMenu(GalleryFlag(options, QStringLiteral("radio")));
        history.SetShowHotKeys(false);
        history.SetMenu(FileMenu);
        history.SetMenu2(RecentMenu);
        history.SetStrList(&FMirror);
        history.SetOnAutoItemClick([this](QObject *, const QString &text) {
            FileEdit->setEditText(text);
            laClicked->setText(QStringLiteral("Menu chose: ") + text);
        });

        const QString ini = GalleryOption(options, QStringLiteral("ini"));
        if (!ini.isEmpty())
            FileEdit->LoadFromIni(ini, GalleryOption(options, QStringLiteral("section"),
                                                     QStringLiteral("GzFiles")));
        else if (!GalleryFlag(options, QStringLiteral("empty")))
            for (const QString &file : SampleFiles())
                FileEdit->AddItem(QDir::toNativeSeparators(file));
        FileEdit->SetReadOnly(GalleryFlag(options, QStringLiteral("read-only")));
        if (FileEdit->HistoryList().Count() > 0)
            FileEdit->setEditText(FileEdit->HistoryList().Strings(0));
        RefreshMirror();

        connect(add, &QPushButton::clicked, this, [this] {
            FileEdit->AddItem(FileEdit->currentText());
            RefreshMirror();
        });
        connect(remove, &QPushButton::clicked, this, [this] {
            FileEdit->DeleteItem(FileEdit->currentText());
            RefreshMirror();
        });
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        resize(620, 330);
    }

private:
    void RefreshMirror()
    {
        lbHistory->clear();
        lbHistory->addItems(FMirror);
    }

    QMenu *FileMenu = nullptr;
    QMenu *RecentMenu = nullptr;
    THistoryCombo *FileEdit = nullptr;
    QListWidget *lbHistory = nullptr;
    QLabel *laClicked = nullptr;
    QStringList FMirror;
};

int ShowHistory(const QStringList &options)
{
    GalleryStartTranslation();
    THistorySample sample(options);
    GalleryScheduleScreenshot(options);
    sample.exec();
    QTextStream(stdout) << "history";
    for (const QString &entry : sample.findChild<THistoryCombo *>("FileEdit")->HistoryList().Entries())
        QTextStream(stdout) << "\n  " << entry;
    QTextStream(stdout) << "\n";
    return 0;
}

const GalleryRegistration registration(
    "history",
    "history [--empty] [--read-only] [--radio] [--ini FILE [--section NAME]] [--screenshot FILE]",
    &ShowHistory);

} // namespace
