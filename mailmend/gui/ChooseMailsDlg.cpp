#include "mailmend/gui/ChooseMailsDlg.h"

#include "dialogs/WinUtils.h"
#include "foundation/LangUtils.h"
#include "foundation/NumberUtils.h"
#include "foundation/StringUtils.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace mailmend {

using namespace dialogs;
using namespace foundation;

std::vector<TMailRow> MailRowsOf(const TScanResult &scan)
{
    std::vector<TMailRow> rows;
    rows.reserve(scan.Mails.size());
    for (const TDeletedMail &mail : scan.Mails) {
        TMailRow row;
        row.Number = mail.Number;
        row.Size = mail.Size;
        if (const TMailSummary *summary = scan.SummaryOf(mail.Number)) {
            row.Date = summary->Date;
            row.From = summary->From;
            row.Subject = summary->Subject;
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

// --- model -------------------------------------------------------------------

void TDeletedMailModel::SetRows(std::vector<TMailRow> rows)
{
    beginResetModel();
    FRows = std::move(rows);
    FChecked.assign(FRows.size(), false);
    FCheckedCount = 0;
    endResetModel();
    Q_EMIT CheckedCountChanged(0);
}

void TDeletedMailModel::SetChecked(int row, bool checked)
{
    if (row < 0 || size_t(row) >= FRows.size() || FChecked[size_t(row)] == checked)
        return;
    FChecked[size_t(row)] = checked;
    FCheckedCount += checked ? 1 : -1;
    const QModelIndex cell = index(row, colDate);
    Q_EMIT dataChanged(cell, cell, {Qt::CheckStateRole});
    Q_EMIT CheckedCountChanged(FCheckedCount);
}

std::vector<qint64> TDeletedMailModel::CheckedNumbers() const
{
    std::vector<qint64> numbers;
    for (size_t i = 0; i < FRows.size(); ++i) {
        if (FChecked[i])
            numbers.push_back(FRows[i].Number);
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

int TDeletedMailModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(FRows.size());
}

int TDeletedMailModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TDeletedMailModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || size_t(index.row()) >= FRows.size())
        return {};
    const TMailRow &mail = FRows[size_t(index.row())];
    const int column = index.column();
    if (role == Qt::CheckStateRole && column == colDate)
        return FChecked[size_t(index.row())] ? Qt::Checked : Qt::Unchecked;
    if (role == SortRole) {
        switch (column) {
        case colDate:
            return mail.Date;
        case colFrom:
            return mail.From.toCaseFolded();
        case colSubject:
            return mail.Subject.toCaseFolded();
        default:
            return mail.Size;
        }
    }
    if (role == Qt::TextAlignmentRole && column == colSize)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    switch (column) {
    case colDate:
        return mail.Date.isValid() ? QLocale().toString(mail.Date.toLocalTime(), QLocale::ShortFormat) : QString();
    case colFrom:
        return mail.From;
    case colSubject:
        return mail.Subject;
    default:
        return FormatSize(false, true, QChar(), mail.Size);
    }
}

bool TDeletedMailModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::CheckStateRole || index.column() != colDate)
        return false;
    SetChecked(index.row(), value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags TDeletedMailModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags result = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == colDate)
        result |= Qt::ItemIsUserCheckable;
    return result;
}

QVariant TDeletedMailModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char *const Titles[] = {N_("Date"), N_("From"), N_("Subject"), N_("Size")};
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
        return Translate(Titles[section]);
    return QAbstractTableModel::headerData(section, orientation, role);
}

// --- filter ------------------------------------------------------------------

TMailFilterModel::TMailFilterModel(QObject *parent) : QSortFilterProxyModel(parent)
{
    setSortRole(TDeletedMailModel::SortRole);
}

void TMailFilterModel::SetFilterText(const QString &text)
{
    FText = text.trimmed();
    invalidateFilter();
}

bool TMailFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex &) const
{
    if (FText.isEmpty())
        return true;
    const TMailRow &mail = static_cast<const TDeletedMailModel *>(sourceModel())->Row(sourceRow);
    return mail.From.contains(FText, Qt::CaseInsensitive) || mail.Subject.contains(FText, Qt::CaseInsensitive);
}

// --- dialog ------------------------------------------------------------------

TChooseMailsDialog::TChooseMailsDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ChooseMailsDialog"));
    setWindowTitle(N_("Choose the mails to recover"));
    setSizeGripEnabled(true);

    FModel = new TDeletedMailModel(this);
    FFilter = new TMailFilterModel(this);
    FFilter->setSourceModel(FModel);

    lbFolder = new QLabel(this);
    lbFolder->setObjectName(QStringLiteral("lbFolder"));
    lbFilter = new QLabel(N_("&Filter (sender or subject):"), this);
    lbFilter->setObjectName(QStringLiteral("lbFilter"));
    edtFilter = new QLineEdit(this);
    edtFilter->setObjectName(QStringLiteral("edtFilter"));
    edtFilter->setClearButtonEnabled(true);
    lbFilter->setBuddy(edtFilter);

    lvMails = new QTableView(this);
    lvMails->setObjectName(QStringLiteral("lvMails"));
    lvMails->setModel(FFilter);
    lvMails->setSortingEnabled(true);
    lvMails->sortByColumn(TDeletedMailModel::colDate, Qt::AscendingOrder);
    lvMails->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvMails->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvMails->setWordWrap(false);
    lvMails->setShowGrid(false);
    lvMails->setAlternatingRowColors(true);
    lvMails->verticalHeader()->hide();
    lvMails->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    lvMails->verticalHeader()->setDefaultSectionSize(lvMails->fontMetrics().height() + 6);
    QHeaderView *header = lvMails->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setSectionResizeMode(TDeletedMailModel::colSubject, QHeaderView::Stretch);
    // Widths from the font rather than from the rows, so that a long list
    // is not measured: a late date, a check box and some room.
    const QFontMetrics metrics = lvMails->fontMetrics();
    const QString sampleDate =
        QLocale().toString(QDateTime(QDate(2026, 12, 30), QTime(23, 59, 59)), QLocale::ShortFormat);
    header->resizeSection(TDeletedMailModel::colDate, metrics.horizontalAdvance(sampleDate) + 48);
    header->resizeSection(TDeletedMailModel::colFrom, metrics.horizontalAdvance(QLatin1Char('x')) * 36);
    header->resizeSection(TDeletedMailModel::colSize, metrics.horizontalAdvance(QStringLiteral("1023.99 KiB")) + 16);
    lvMails->installEventFilter(this);

    btSelectAll = new QPushButton(N_("Select &all"), this);
    btSelectAll->setObjectName(QStringLiteral("btSelectAll"));
    btSelectNone = new QPushButton(N_("Select &none"), this);
    btSelectNone->setObjectName(QStringLiteral("btSelectNone"));
    lbChosen = new QLabel(this);
    lbChosen->setObjectName(QStringLiteral("lbChosen"));
    btOK = new QPushButton(N_("&OK"), this);
    btOK->setObjectName(QStringLiteral("btOK"));
    btOK->setDefault(true);
    btCancel = new QPushButton(N_("&Cancel"), this);
    btCancel->setObjectName(QStringLiteral("btCancel"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lbFolder);
    auto *filterRow = new QHBoxLayout;
    filterRow->addWidget(lbFilter);
    filterRow->addWidget(edtFilter, 1);
    layout->addLayout(filterRow);
    layout->addWidget(lvMails, 1);
    auto *buttonRow = new QHBoxLayout;
    buttonRow->addWidget(btSelectAll);
    buttonRow->addWidget(btSelectNone);
    buttonRow->addWidget(lbChosen, 1);
    buttonRow->addWidget(btOK);
    buttonRow->addWidget(btCancel);
    layout->addLayout(buttonRow);

    setTabOrder(edtFilter, lvMails);
    setTabOrder(lvMails, btSelectAll);
    setTabOrder(btSelectAll, btSelectNone);
    setTabOrder(btSelectNone, btOK);
    setTabOrder(btOK, btCancel);

    connect(edtFilter, &QLineEdit::textChanged, this, [this](const QString &text) {
        FFilter->SetFilterText(text);
        UpdateChosen();
    });
    connect(btSelectAll, &QPushButton::clicked, this, [this] { CheckShown(true); });
    connect(btSelectNone, &QPushButton::clicked, this, [this] { CheckShown(false); });
    connect(FModel, &TDeletedMailModel::CheckedCountChanged, this, [this] { UpdateChosen(); });
    connect(btOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);

    TranslateWindow(this, DefaultTextDomain);
    resize(900, 440);
}

bool TChooseMailsDialog::Execute(const QPoint &APos, const QString &ATitle, const QString &AFolderPath,
                                 std::vector<TMailRow> rows, std::vector<qint64> &chosen)
{
    setWindowTitle(ATitle);
    lbFolder->setText(SafeFormat(Translate("Deleted mails of \"%s\":"), QFileInfo(AFolderPath).fileName()));
    edtFilter->clear();
    FModel->SetRows(std::move(rows));
    lvMails->sortByColumn(TDeletedMailModel::colDate, Qt::AscendingOrder);
    UpdateChosen();
    lvMails->setFocus();
    if (FFilter->rowCount() > 0)
        lvMails->setCurrentIndex(FFilter->index(0, TDeletedMailModel::colDate));
    SetFormPos(this, APos);

    const bool confirmed = exec() == QDialog::Accepted && FModel->CheckedCount() > 0;
    if (confirmed)
        chosen = FModel->CheckedNumbers();
    FModel->SetRows({});
    return confirmed;
}

void TChooseMailsDialog::CheckShown(bool checked)
{
    for (int row = 0; row < FFilter->rowCount(); ++row)
        FModel->SetChecked(FFilter->mapToSource(FFilter->index(row, 0)).row(), checked);
}

void TChooseMailsDialog::ToggleSelected()
{
    const QModelIndexList rows = lvMails->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return;
    // All selected mails take the opposite of the current one's state.
    const QModelIndex current = FFilter->mapToSource(lvMails->currentIndex());
    const bool checked = current.isValid() ? !FModel->IsChecked(current.row()) : true;
    for (const QModelIndex &row : rows)
        FModel->SetChecked(FFilter->mapToSource(row).row(), checked);
}

void TChooseMailsDialog::UpdateChosen()
{
    lbChosen->setText(SafeFormat(Translate("%u of %u mails chosen"), FModel->CheckedCount(), FModel->rowCount()));
    btOK->setEnabled(FModel->CheckedCount() > 0);
}

bool TChooseMailsDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == lvMails && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Space) {
        ToggleSelected();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace mailmend
