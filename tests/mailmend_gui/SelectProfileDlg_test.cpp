#include "mailmend/gui/SelectProfileDlg.h"

#include "GuiTestSupport.h"

#include "mailmend/core/ProfileList.h"

#include <QListWidget>
#include <QScreen>
#include <QMouseEvent>

using namespace mailmend;

using namespace mailmend;

using mailmend::TSelectProfileDialog;

namespace {

struct TProfileSpec
{
    const char *name;
    bool isDefault;
};

void Fill(TProfileList &list, std::initializer_list<TProfileSpec> profiles)
{
    for (const TProfileSpec &p : profiles)
        list.AddProfile(QString::fromLatin1(p.name), QStringLiteral("Profiles/") + QLatin1String(p.name),
                        QStringLiteral("/tb/Profiles/") + QLatin1String(p.name), true, p.isDefault);
}

QStringList Entries(QWidget *dialog)
{
    auto *list = dialog->findChild<QListWidget *>(QStringLiteral("lbProfiles"));
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

int SelectedRow(QWidget *dialog)
{
    return dialog->findChild<QListWidget *>(QStringLiteral("lbProfiles"))->currentRow();
}

TEST(SelectProfileDialog, WithoutDefaultFlagTheDefaultProfileIsSelectedAndOkReturnsIt)
{
    TProfileList list;
    Fill(list, {{"default", false}, {"work", false}});
    TSelectProfileDialog dialog;
    QString profile;
    QStringList entries;
    int selected = -1;
    AnswerModal(QStringLiteral("SelectProfileDialog"), [&](QWidget *d) {
        entries = Entries(d);
        selected = SelectedRow(d);
        PressKey(d, Qt::Key_Return);
    });
    EXPECT_TRUE(dialog.Execute(QPoint(-1, -1), list, profile));
    EXPECT_EQ(entries, (QStringList{QStringLiteral("default"), QStringLiteral("work")}));
    EXPECT_EQ(selected, 0);
    EXPECT_EQ(profile, QStringLiteral("default"));
}

// The entry of the current profile is selected even when it reads "Default
// user": OK then keeps the current profile instead of switching to the first.
TEST(SelectProfileDialog, CurrentProfileShownAsDefaultUserIsPreselected)
{
    TProfileList list;
    Fill(list, {{"a", false}, {"b", true}});
    TSelectProfileDialog dialog;
    QString profile = QStringLiteral("b");
    QStringList entries;
    int selected = -1;
    AnswerModal(QStringLiteral("SelectProfileDialog"), [&](QWidget *d) {
        entries = Entries(d);
        selected = SelectedRow(d);
        ClickChild(QStringLiteral("OKBtn"))(d);
    });
    EXPECT_TRUE(dialog.Execute(QPoint(-1, -1), list, profile));
    EXPECT_EQ(entries, (QStringList{QStringLiteral("a"), QStringLiteral("Default user")}));
    EXPECT_EQ(selected, 1);
    EXPECT_EQ(profile, QStringLiteral("b"));
}

TEST(SelectProfileDialog, ProfileIsFoundRegardlessOfLetterCase)
{
    TProfileList list;
    Fill(list, {{"Home", false}, {"Work", false}, {"Old", false}});
    EXPECT_EQ(mailmend::ProfileEntryToSelect(list, QStringLiteral("work")), 1);
    EXPECT_EQ(mailmend::ProfileEntryToSelect(list, QStringLiteral("missing")), 0);
}

TEST(SelectProfileDialog, DoubleClickReturnsThatEntry)
{
    TProfileList list;
    Fill(list, {{"a", false}, {"b", false}, {"c", false}});
    TSelectProfileDialog dialog;
    QString profile = QStringLiteral("a");
    AnswerModal(QStringLiteral("SelectProfileDialog"), [](QWidget *d) {
        auto *lb = d->findChild<QListWidget *>(QStringLiteral("lbProfiles"));
        const QRect rect = lb->visualItemRect(lb->item(2));
        // A double click arrives as press, release, double click, release.
        const QPointF at = rect.center();
        const QPointF global = lb->viewport()->mapToGlobal(at);
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
                                  QEvent::MouseButtonRelease}) {
            const bool down = type != QEvent::MouseButtonRelease;
            QMouseEvent event(type, at, global, Qt::LeftButton, down ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(lb->viewport(), &event);
        }
    });
    EXPECT_TRUE(dialog.Execute(QPoint(-1, -1), list, profile));
    EXPECT_EQ(profile, QStringLiteral("c"));
}

struct TCancelCase
{
    const char *name;
    int way; // 0 Cancel button, 1 Escape, 2 close box
};

class SelectProfileCancelTest : public ::testing::TestWithParam<TCancelCase>
{
};

TEST_P(SelectProfileCancelTest, ReturnsFalseAndKeepsTheProfile)
{
    TProfileList list;
    Fill(list, {{"a", false}, {"b", false}});
    TSelectProfileDialog dialog;
    QString profile = QStringLiteral("b");
    const int way = GetParam().way;
    AnswerModal(QStringLiteral("SelectProfileDialog"), [way](QWidget *d) {
        d->findChild<QListWidget *>(QStringLiteral("lbProfiles"))->setCurrentRow(0);
        if (way == 0)
            ClickChild(QStringLiteral("CancelBtn"))(d);
        else if (way == 1)
            PressKey(d, Qt::Key_Escape);
        else
            d->close();
    });
    EXPECT_FALSE(dialog.Execute(QPoint(-1, -1), list, profile));
    EXPECT_EQ(profile, QStringLiteral("b"));
}

constexpr TCancelCase CancelCases[] = {{"CancelButton", 0}, {"Escape", 1}, {"CloseBox", 2}};
INSTANTIATE_TEST_SUITE_P(Ways, SelectProfileCancelTest, ::testing::ValuesIn(CancelCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(SelectProfileDialog, OneNegativeCoordinateCentresTheDialog)
{
    TProfileList list;
    Fill(list, {{"a", false}, {"b", false}});
    TSelectProfileDialog dialog;
    QString profile;
    QRect frame;
    AnswerModal(QStringLiteral("SelectProfileDialog"), [&](QWidget *d) {
        frame = d->frameGeometry();
        PressKey(d, Qt::Key_Escape);
    });
    dialog.Execute(QPoint(-1, 100), list, profile);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((frame.center() - screen.center()).manhattanLength(), 4);
}

TEST(SelectProfileDialog, PositionIsTheTopLeftCornerInsideTheWorkArea)
{
    TProfileList list;
    Fill(list, {{"a", false}, {"b", false}});
    TSelectProfileDialog dialog;
    QString profile;
    QPoint pos;
    AnswerModal(QStringLiteral("SelectProfileDialog"), [&](QWidget *d) {
        pos = d->pos();
        PressKey(d, Qt::Key_Escape);
    });
    dialog.Execute(QPoint(30, 40), list, profile);
    EXPECT_EQ(pos, QPoint(30, 40));
}

} // namespace
