#pragma once

// The list of a folder's deleted mails in which the user checks the ones to
// bring back: date, sender, subject and size, sortable by each column, a
// filter on sender and subject, a check box per mail, "Select all" and
// "Select none". A model/view table, so thousands of mails list at once.

#include "mailmend/core/MailFolder.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QDialog>
#include <QPoint>
#include <QSortFilterProxyModel>
#include <QString>

#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace mailmend {

// One deleted mail as the list shows it.
struct TMailRow
{
    qint64 Number = 0; // the scan's number of the mail (1-based)
    QDateTime Date;    // invalid when unknown
    QString From;
    QString Subject;
    qint64 Size = 0;   // bytes
};

// The rows of a scan's deleted mails (with their summaries when the scan
// read them).
std::vector<TMailRow> MailRowsOf(const TScanResult &scan);

// The mails with a check state each; all start unchecked.
class TDeletedMailModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum TColumn { colDate, colFrom, colSubject, colSize, ColumnCount };
    // Values to sort by: dates, sizes as numbers, texts folded.
    static constexpr int SortRole = Qt::UserRole;

    using QAbstractTableModel::QAbstractTableModel;

    void SetRows(std::vector<TMailRow> rows);
    const TMailRow &Row(int row) const { return FRows.at(size_t(row)); }
    bool IsChecked(int row) const { return FChecked.at(size_t(row)); }
    void SetChecked(int row, bool checked);
    int CheckedCount() const { return FCheckedCount; }
    // Numbers of the checked mails, ascending.
    std::vector<qint64> CheckedNumbers() const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    void CheckedCountChanged(int count);

private:
    std::vector<TMailRow> FRows;
    std::vector<bool> FChecked;
    int FCheckedCount = 0;
};

// Keeps the mails whose sender or subject contains the filter text (letter
// case ignored); sorts by TDeletedMailModel::SortRole.
class TMailFilterModel final : public QSortFilterProxyModel
{
public:
    explicit TMailFilterModel(QObject *parent = nullptr);
    void SetFilterText(const QString &text);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    QString FText;
};

class TChooseMailsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TChooseMailsDialog(QWidget *parent = nullptr);

    // Lists the mails of the folder at APos (a negative coordinate centres
    // the dialog). True on OK with the numbers of the checked mails (at least
    // one) in chosen; false on Cancel.
    bool Execute(const QPoint &APos, const QString &ATitle, const QString &AFolderPath, std::vector<TMailRow> rows,
                 std::vector<qint64> &chosen);

    // "Select all" and "Select none" act on the mails the filter shows.
    void CheckShown(bool checked);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void UpdateChosen();
    void ToggleSelected();

    TDeletedMailModel *FModel = nullptr;
    TMailFilterModel *FFilter = nullptr;

    QLabel *lbFolder = nullptr;
    QLabel *lbFilter = nullptr;
    QLineEdit *edtFilter = nullptr;
    QTableView *lvMails = nullptr;
    QPushButton *btSelectAll = nullptr;
    QPushButton *btSelectNone = nullptr;
    QLabel *lbChosen = nullptr;
    QPushButton *btOK = nullptr;
    QPushButton *btCancel = nullptr;
};

} // namespace mailmend
