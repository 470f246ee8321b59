#include "mailmend/gui/ChooseMailsDlg.h"

#include "GuiTestSupport.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimeZone>

using namespace mailmend;

using mailmend::TChooseMailsDialog;
using mailmend::TDeletedMailModel;
using mailmend::TMailRow;

namespace {

std::vector<TMailRow> SampleRows()
{
    const auto date = [](int day) { return QDateTime(QDate(2024, 3, day), QTime(10, 0), Qt::UTC); };
    return {
        {1, date(5), QStringLiteral("Carol <carol@example.org>"), QStringLiteral("Invoice March"), 3000},
        {2, date(1), QStringLiteral("alice@example.org"), QStringLiteral("Newsletter 12"), 90000},
        {3, date(9), QStringLiteral("Bob <bob@example.org>"), QStringLiteral("Holiday photos"), 5000000},
        {4, QDateTime(), QStringLiteral("news@shop.example"), QStringLiteral("Weekly NEWSLETTER"), 1200},
    };
}

QTableView *Table(QWidget *dialog) { return dialog->findChild<QTableView *>(QStringLiteral("lvMails")); }

// The column's texts from top to bottom.
QStringList Column(QWidget *dialog, int column)
{
    QTableView *table = Table(dialog);
    QStringList texts;
    for (int row = 0; row < table->model()->rowCount(); ++row)
        texts << table->model()->index(row, column).data().toString();
    return texts;
}

void Check(QWidget *dialog, int shownRow)
{
    QTableView *table = Table(dialog);
    table->model()->setData(table->model()->index(shownRow, TDeletedMailModel::colDate), Qt::Checked,
                            Qt::CheckStateRole);
}

// Runs the dialog on the sample rows; the action answers it.
bool RunSample(const std::function<void(QWidget *)> &action, std::vector<qint64> &chosen,
               std::vector<TMailRow> rows = SampleRows())
{
    TChooseMailsDialog dialog;
    AnswerModal(QStringLiteral("ChooseMailsDialog"), action);
    return dialog.Execute(QPoint(-1, -1), QStringLiteral("Title"), QStringLiteral("/p/Mail/Local Folders/Inbox"),
                          std::move(rows), chosen);
}

TEST(ChooseMailsDialog, OkRecoversExactlyTheCheckedMails)
{
    std::vector<qint64> chosen;
    QString chosenText;
    EXPECT_TRUE(RunSample(
        [&](QWidget *d) {
            Check(d, 2);
            Check(d, 0);
            chosenText = d->findChild<QLabel *>(QStringLiteral("lbChosen"))->text();
            ClickChild(QStringLiteral("btOK"))(d);
        },
        chosen));
    // Sorted by date at the start: mail 4 (no date), 2, 1, 3.
    EXPECT_EQ(chosen, (std::vector<qint64>{1, 4}));
    EXPECT_EQ(chosenText, QStringLiteral("2 of 4 mails chosen"));
}

TEST(ChooseMailsDialog, OkNeedsACheckedMailAndCancelChoosesNothing)
{
    std::vector<qint64> chosen{99};
    bool okEnabled = true;
    EXPECT_FALSE(RunSample(
        [&](QWidget *d) {
            okEnabled = d->findChild<QPushButton *>(QStringLiteral("btOK"))->isEnabled();
            Check(d, 1);
            PressKey(d, Qt::Key_Escape);
        },
        chosen));
    EXPECT_FALSE(okEnabled);
    EXPECT_EQ(chosen, std::vector<qint64>{99});
}

TEST(ChooseMailsDialog, FilterNarrowsBySenderOrSubjectIgnoringCase)
{
    std::vector<qint64> chosen;
    QStringList subjects;
    QStringList senders;
    RunSample(
        [&](QWidget *d) {
            auto *filter = d->findChild<QLineEdit *>(QStringLiteral("edtFilter"));
            filter->setText(QStringLiteral("newsletter"));
            subjects = Column(d, TDeletedMailModel::colSubject);
            filter->setText(QStringLiteral("BOB@"));
            senders = Column(d, TDeletedMailModel::colFrom);
            PressKey(d, Qt::Key_Escape);
        },
        chosen);
    EXPECT_EQ(subjects, (QStringList{QStringLiteral("Weekly NEWSLETTER"), QStringLiteral("Newsletter 12")}));
    EXPECT_EQ(senders, QStringList{QStringLiteral("Bob <bob@example.org>")});
}

TEST(ChooseMailsDialog, SelectAllAndNoneActOnTheShownMails)
{
    std::vector<qint64> chosen;
    EXPECT_TRUE(RunSample(
        [&](QWidget *d) {
            ClickChild(QStringLiteral("btSelectAll"))(d);
            d->findChild<QLineEdit *>(QStringLiteral("edtFilter"))->setText(QStringLiteral("newsletter"));
            ClickChild(QStringLiteral("btSelectNone"))(d);
            ClickChild(QStringLiteral("btOK"))(d);
        },
        chosen));
    EXPECT_EQ(chosen, (std::vector<qint64>{1, 3}));
}

struct TSortCase
{
    const char *name;
    int column;
    Qt::SortOrder order;
    std::initializer_list<const char *> subjects;
};

class ChooseMailsSortTest : public ::testing::TestWithParam<TSortCase>
{
};

TEST_P(ChooseMailsSortTest, SortsByTheColumnsValue)
{
    const TSortCase &c = GetParam();
    std::vector<qint64> chosen;
    QStringList subjects;
    RunSample(
        [&](QWidget *d) {
            Table(d)->sortByColumn(c.column, c.order);
            subjects = Column(d, TDeletedMailModel::colSubject);
            PressKey(d, Qt::Key_Escape);
        },
        chosen);
    QStringList expected;
    for (const char *subject : c.subjects)
        expected << QString::fromUtf8(subject);
    EXPECT_EQ(subjects, expected);
}

constexpr TSortCase SortCases[] = {
    {"DateAscending", TDeletedMailModel::colDate, Qt::AscendingOrder,
     {"Weekly NEWSLETTER", "Newsletter 12", "Invoice March", "Holiday photos"}},
    {"SenderIgnoringCase", TDeletedMailModel::colFrom, Qt::AscendingOrder,
     {"Newsletter 12", "Holiday photos", "Invoice March", "Weekly NEWSLETTER"}},
    {"SubjectDescending", TDeletedMailModel::colSubject, Qt::DescendingOrder,
     {"Weekly NEWSLETTER", "Newsletter 12", "Invoice March", "Holiday photos"}},
    {"SizeByValue", TDeletedMailModel::colSize, Qt::AscendingOrder,
     {"Weekly NEWSLETTER", "Invoice March", "Newsletter 12", "Holiday photos"}},
};

INSTANTIATE_TEST_SUITE_P(Columns, ChooseMailsSortTest, ::testing::ValuesIn(SortCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(ChooseMailsDialog, SpaceTogglesTheSelectedMails)
{
    std::vector<qint64> chosen;
    EXPECT_TRUE(RunSample(
        [&](QWidget *d) {
            QTableView *table = Table(d);
            table->setFocus();
            table->selectRow(1);
            table->selectionModel()->select(table->model()->index(2, 0),
                                            QItemSelectionModel::Select | QItemSelectionModel::Rows);
            PressKey(d, Qt::Key_Space);
            ClickChild(QStringLiteral("btOK"))(d);
        },
        chosen));
    EXPECT_EQ(chosen, (std::vector<qint64>{1, 2}));
}

TEST(ChooseMailsDialog, ThousandsOfMailsAreOneModelNotOneWidgetEach)
{
    std::vector<TMailRow> rows;
    for (int i = 1; i <= 20000; ++i)
        rows.push_back({i, QDateTime(), QStringLiteral("s%1@example.org").arg(i), QStringLiteral("Mail %1").arg(i), i});
    std::vector<qint64> chosen;
    int shown = 0;
    int widgets = 0;
    EXPECT_TRUE(RunSample(
        [&](QWidget *d) {
            shown = Table(d)->model()->rowCount();
            widgets = int(d->findChildren<QWidget *>().size());
            d->findChild<QLineEdit *>(QStringLiteral("edtFilter"))->setText(QStringLiteral("s19999@"));
            ClickChild(QStringLiteral("btSelectAll"))(d);
            ClickChild(QStringLiteral("btOK"))(d);
        },
        chosen, std::move(rows)));
    EXPECT_EQ(shown, 20000);
    EXPECT_LT(widgets, 100);
    EXPECT_EQ(chosen, std::vector<qint64>{19999});
}

} // namespace
