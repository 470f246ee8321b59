#include "dialogs/HListBox.h"

#include "foundation/IniFile.h"
#include "support/TempDir.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QStyleOptionComboBox>
#include <QVBoxLayout>
#include <QWidget>

#include <memory>

using namespace foundation;
using namespace dialogs;

namespace {

QStringList Filled(THistoryList &list, const QStringList &addedInOrder)
{
    for (const QString &s : addedInOrder)
        list.AddString(s);
    return list.Entries();
}

QStringList Captions(const QMenu &menu)
{
    QStringList result;
    for (const QAction *action : menu.actions())
        result.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    return result;
}

} // namespace

// --- captions and their parse ------------------------------------------------

struct CaptionCase
{
    int index;
    const char *text;
    bool showHotKeys;
    const char *caption;
};

class HistoryMenuCaptionTest : public ::testing::TestWithParam<CaptionCase>
{
};

TEST_P(HistoryMenuCaptionTest, NumbersInHexWithOneDigitForTheFirstFifteen)
{
    const CaptionCase &c = GetParam();
    EXPECT_EQ(HistoryMenuCaption(c.index, c.text, c.showHotKeys), QString(c.caption));
}

constexpr CaptionCase CaptionCases[] = {
    {0, "first", true, "1 first"},
    {8, "x", true, "9 x"},
    {9, "x", true, "A x"},
    {14, "x", true, "F x"},
    {15, "x", true, "10 x"},
    {26, "x", true, "1B x"},
    {0, "R&D", true, "1 R&D"},
    {0, "R&D", false, "1 R&&D"},
    {1, "a&b&c", false, "2 a&&b&&c"},
    {0, "", true, "1 "},
};
INSTANTIATE_TEST_SUITE_P(Captions, HistoryMenuCaptionTest, ::testing::ValuesIn(CaptionCases));

struct NumberCase
{
    const char *caption;
    int number;
};

class HistoryMenuNumberTest : public ::testing::TestWithParam<NumberCase>
{
};

TEST_P(HistoryMenuNumberTest, ReadsTheHexNumberBeforeTheFirstBlank)
{
    EXPECT_EQ(HistoryMenuNumber(GetParam().caption), GetParam().number);
}

constexpr NumberCase NumberCases[] = {
    {"1 first", 1},   {"&A x", 10},      {"A x y", 10}, {"10 x", 16},  {"1&0 x", 16},
    {"f x", 15},      {"&&1 x", 0},      {"zz x", 0},   {"", 0},       {" x", 0},
    {"0 x", 0},       {"-1 x", -1},
};
INSTANTIATE_TEST_SUITE_P(Numbers, HistoryMenuNumberTest, ::testing::ValuesIn(NumberCases));

TEST(HistoryValues, SingleBlankIsStoredAsQuestionMark)
{
    EXPECT_EQ(HistoryKey(0), "History0");
    EXPECT_EQ(HistoryKey(14), "History14");
    EXPECT_EQ(HistoryValueToIni(" "), "?");
    EXPECT_EQ(HistoryValueToIni("  "), "  ");
    EXPECT_EQ(HistoryValueToIni("a b"), "a b");
    EXPECT_EQ(HistoryValueFromIni("?"), " ");
    EXPECT_EQ(HistoryValueFromIni("??"), "??");
}

// --- list operations ---------------------------------------------------------

TEST(HistoryList, AddMovesToTopAndTakesTheNewSpelling)
{
    THistoryList list;
    EXPECT_EQ(Filled(list, {"A", "B", "C"}), QStringList({"C", "B", "A"}));
    list.AddString("B");
    EXPECT_EQ(list.Entries(), QStringList({"B", "C", "A"}));
    list.AddString("b");
    EXPECT_EQ(list.Entries(), QStringList({"b", "C", "A"}));
    EXPECT_EQ(list.IndexOf("c"), 1);
    EXPECT_EQ(list.IndexOf("D"), -1);
}

TEST(HistoryList, FullListDropsTheOldest)
{
    THistoryList list;
    list.SetMaxLen(3);
    Filled(list, {"A", "B", "C", "D"});
    EXPECT_EQ(list.Entries(), QStringList({"D", "C", "B"}));
}

TEST(HistoryList, ObjectsTravelWithTheirEntries)
{
    THistoryList list;
    list.AddStringObject("A", 1);
    list.AddStringObject("B", 2);
    list.AddStringObject("a", 3);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Objects(0).toInt(), 3);
    EXPECT_EQ(list.Objects(1).toInt(), 2);
}

TEST(HistoryList, EmptyTextChangesNothingNotEvenTheMenu)
{
    THistoryList list;
    QMenu menu;
    list.SetMenu(&menu);
    Filled(list, {"A", "B"});
    const QList<QAction *> before = menu.actions();
    list.AddString(QString());
    EXPECT_EQ(list.Entries(), QStringList({"B", "A"}));
    EXPECT_EQ(menu.actions(), before);
}

TEST(HistoryList, MaxLenOutsideOneToHundredIsIgnored)
{
    THistoryList list;
    EXPECT_EQ(list.MaxLen(), 15);
    for (int bad : {0, -1, 101}) {
        list.SetMaxLen(bad);
        EXPECT_EQ(list.MaxLen(), 15) << bad;
    }
    list.SetMaxLen(100);
    EXPECT_EQ(list.MaxLen(), 100);
    Filled(list, {"1", "2", "3", "4", "5"});
    list.SetMaxLen(2);
    EXPECT_EQ(list.Entries(), QStringList({"5", "4"}));
}

TEST(HistoryList, RemStringIgnoresCase)
{
    THistoryList list;
    Filled(list, {"A", "B", "C"});
    list.RemString("b");
    EXPECT_EQ(list.Entries(), QStringList({"C", "A"}));
    list.RemString("x");
    EXPECT_EQ(list.Entries(), QStringList({"C", "A"}));
}

TEST(HistoryList, AssignListTakesTheFirstMaxLenLinesAsTheyAre)
{
    THistoryList list;
    list.SetMaxLen(3);
    list.AssignList({"a", "", "a", "b", "c"});
    EXPECT_EQ(list.Entries(), QStringList({"a", "", "a"}));
    list.AssignList({"x"});
    EXPECT_EQ(list.Entries(), QStringList({"x"}));
}

// --- persistence -------------------------------------------------------------

class HistoryListIni : public TempDirTest
{
protected:
    QString IniName() const { return path("settings.ini"); }
};

TEST_F(HistoryListIni, SingleBlankRoundTripsAsQuestionMark)
{
    THistoryList list;
    list.AssignList({"X", " ", "Y"});
    ASSERT_TRUE(list.SaveToIni(IniName(), "Files", false));

    const TIniFile ini(IniName());
    EXPECT_EQ(ini.ReadSection("Files"), QStringList({"History0", "History1", "History2"}));
    EXPECT_EQ(ini.ReadString("Files", "History0", ""), "X");
    EXPECT_EQ(ini.ReadString("Files", "History1", ""), "?");
    EXPECT_EQ(ini.ReadString("Files", "History2", ""), "Y");

    THistoryList loaded;
    loaded.LoadFromIni(IniName(), "Files");
    EXPECT_EQ(loaded.Entries(), QStringList({"X", " ", "Y"}));
}

TEST_F(HistoryListIni, LoadCompactsGapsAndStopsAtMaxLen)
{
    TIniFile ini(IniName());
    ini.WriteString("Files", "History0", "first");
    ini.WriteString("Files", "History3", "fourth");
    ini.WriteString("Files", "History15", "beyond");

    THistoryList list;
    list.AddString("old");
    list.LoadFromIni(IniName(), "Files");
    EXPECT_EQ(list.Entries(), QStringList({"first", "fourth"}));

    list.SetMaxLen(16);
    list.LoadFromIni(IniName(), "Files");
    EXPECT_EQ(list.Entries(), QStringList({"first", "fourth", "beyond"}));
}

TEST_F(HistoryListIni, DuplicatesInTheFileStayDuplicates)
{
    TIniFile ini(IniName());
    ini.WriteString("Files", "History0", "same");
    ini.WriteString("Files", "History1", "SAME");
    THistoryList list;
    list.LoadFromIni(IniName(), "Files");
    EXPECT_EQ(list.Entries(), QStringList({"same", "SAME"}));
}

TEST_F(HistoryListIni, SavingWithoutEraseKeepsHigherKeys)
{
    THistoryList five;
    five.AssignList({"a", "b", "c", "d", "e"});
    five.SaveToIni(IniName(), "Files", false);

    THistoryList two;
    two.AssignList({"x", "y"});
    two.SaveToIni(IniName(), "Files", false);
    THistoryList loaded;
    loaded.LoadFromIni(IniName(), "Files");
    EXPECT_EQ(loaded.Entries(), QStringList({"x", "y", "c", "d", "e"}));

    two.SaveToIni(IniName(), "Files", true);
    loaded.LoadFromIni(IniName(), "Files");
    EXPECT_EQ(loaded.Entries(), QStringList({"x", "y"}));
    EXPECT_EQ(TIniFile(IniName()).ReadSection("Files"), QStringList({"History0", "History1"}));
}

TEST_F(HistoryListIni, MissingFileLoadsNothing)
{
    THistoryList list;
    list.AddString("kept?");
    list.LoadFromIni(path("missing.ini"), "Files");
    EXPECT_EQ(list.Count(), 0);
}

// --- menus and the external list ---------------------------------------------

TEST(HistoryListMenu, ItemsFollowASeparatorAfterTheCallersItems)
{
    QMenu menu;
    menu.addAction("Open");
    menu.addAction("Save");
    THistoryList list;
    list.SetMaxLen(20);
    for (int i = 16; i >= 1; --i)
        list.AddString(QStringLiteral("file%1").arg(i));
    list.SetMenu(&menu);

    EXPECT_EQ(list.MenuSizeBefore(), 2);
    EXPECT_EQ(list.SeparatorCount(), 1);
    const QStringList captions = Captions(menu);
    ASSERT_EQ(captions.size(), 2 + 1 + 16);
    EXPECT_EQ(captions.mid(0, 3), QStringList({"Open", "Save", "-"}));
    EXPECT_EQ(captions[3], "1 file1");
    EXPECT_EQ(captions[3 + 9], "A file10");
    EXPECT_EQ(captions[3 + 14], "F file15");
    EXPECT_EQ(captions[3 + 15], "10 file16");

    list.AddString("new");
    EXPECT_EQ(Captions(menu).size(), 2 + 1 + 17);
    EXPECT_EQ(Captions(menu)[3], "1 new");

    list.ClearAll();
    EXPECT_EQ(Captions(menu), QStringList({"Open", "Save"}));
}

TEST(HistoryListMenu, EmptyMenuGetsNoSeparator)
{
    QMenu menu;
    THistoryList list;
    Filled(list, {"a", "b"});
    list.SetMenu(&menu);
    EXPECT_EQ(list.SeparatorCount(), 0);
    EXPECT_EQ(Captions(menu), QStringList({"1 b", "2 a"}));
}

TEST(HistoryListMenu, ReattachingLeavesTheOldMenuAsItWas)
{
    QMenu first, second;
    first.addAction("Keep");
    THistoryList list;
    Filled(list, {"a"});
    list.SetMenu(&first);
    list.SetMenu(&second);
    EXPECT_EQ(Captions(first), QStringList({"Keep"}));
    EXPECT_EQ(Captions(second), QStringList({"1 a"}));
}

TEST(HistoryListMenu, HotKeysOffDoublesAmpersandsAndRebuilds)
{
    QMenu menu;
    THistoryList list;
    list.SetMenu(&menu);
    list.AddString("R&D");
    EXPECT_EQ(Captions(menu), QStringList({"1 R&D"}));
    list.SetShowHotKeys(false);
    EXPECT_EQ(Captions(menu), QStringList({"1 R&&D"}));
}

TEST(HistoryListMenu, ClickCallsTheTextEventElseTheIndexEvent)
{
    QMenu menu;
    THistoryList list;
    list.SetMenu(&menu);
    for (int i = 10; i >= 1; --i)
        list.AddString(QStringLiteral("e%1").arg(i));

    QObject *textSender = nullptr;
    QString text;
    int index = -1;
    list.SetOnAutoItemClickIndex([&](QObject *, int i) { index = i; });
    QAction *tenth = menu.actions().at(9);
    tenth->setText("&A x"); // as a menu system that marks hot keys would show it
    tenth->trigger();
    EXPECT_EQ(index, 9);
    EXPECT_TRUE(tenth->isChecked());

    list.SetOnAutoItemClick([&](QObject *sender, const QString &t) {
        textSender = sender;
        text = t;
    });
    index = -1;
    menu.actions().at(1)->trigger();
    EXPECT_EQ(text, "e2");
    EXPECT_EQ(textSender, &menu);
    EXPECT_EQ(index, -1);
}

TEST(HistoryListMenu, ClickHandlerMayRebuildTheMenu)
{
    QMenu menu, menu2;
    THistoryList list;
    list.SetMenu(&menu);
    list.SetMenu2(&menu2);
    list.SetRadioMenu(true);
    Filled(list, {"c", "b", "a"});
    // Opening the chosen file puts it on top, which rebuilds both menus
    // while the clicked item is still being handled.
    list.SetOnAutoItemClick([&](QObject *, const QString &text) { list.AddString(text); });
    menu.actions().at(2)->trigger();
    EXPECT_EQ(list.Entries(), QStringList({"c", "a", "b"}));
    menu2.actions().at(1)->trigger();
    EXPECT_EQ(list.Entries(), QStringList({"a", "c", "b"}));
    EXPECT_EQ(Captions(menu), QStringList({"1 a", "2 c", "3 b"}));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(menu.actions().size(), 3);
}

TEST(HistoryListMenu, StaleOrUnparsableCaptionsAreIgnored)
{
    QMenu menu;
    THistoryList list;
    list.SetMenu(&menu);
    Filled(list, {"c", "b", "a"});
    int calls = 0;
    list.SetOnAutoItemClickIndex([&](QObject *, int) { ++calls; });
    list.SetMaxLen(1); // leaves the menu as it was
    menu.actions().at(2)->trigger();
    menu.actions().at(0)->setText("xyz a");
    menu.actions().at(0)->trigger();
    EXPECT_EQ(calls, 0);
}

TEST(HistoryListMenu, RadioItemsKeepTheCheckedEntryAcrossRebuilds)
{
    QMenu menu;
    THistoryList list;
    list.SetMenu(&menu);
    list.SetRadioMenu(true);
    Filled(list, {"c", "b", "a"}); // a, b, c
    menu.actions().at(1)->trigger();
    EXPECT_TRUE(menu.actions().at(1)->isChecked());
    menu.actions().at(2)->trigger();
    EXPECT_FALSE(menu.actions().at(1)->isChecked()) << "radio items exclude each other";

    list.AddString("new"); // new, a, b, c: the checked "c" is now fourth
    const QList<QAction *> actions = menu.actions();
    ASSERT_EQ(actions.size(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(actions[i]->isChecked(), i == 3) << i;
}

TEST(HistoryListMenu, SelectMenuItemChecksTheEntrysItem)
{
    QMenu menu;
    menu.addAction("Open");
    THistoryList list;
    list.SetMenu(&menu);
    Filled(list, {"b", "a"});
    EXPECT_TRUE(list.SelectMenuItem("B"));
    EXPECT_TRUE(menu.actions().at(3)->isChecked());
    EXPECT_FALSE(menu.actions().at(2)->isChecked());
    EXPECT_FALSE(list.SelectMenuItem("zzz"));

    THistoryList noMenu;
    noMenu.AddString("x");
    EXPECT_TRUE(noMenu.SelectMenuItem("x"));
}

TEST(HistoryListMenu, SecondMenuCopiesItemsAndClicks)
{
    QMenu menu, menu2;
    menu.addAction("Open");
    THistoryList list;
    list.SetMenu(&menu);
    list.SetMenu2(&menu2);
    EXPECT_TRUE(menu2.actions().isEmpty()) << "filled at the next building";
    Filled(list, {"b", "a"});
    EXPECT_EQ(Captions(menu2), QStringList({"-", "1 a", "2 b"}));

    QString text;
    list.SetOnAutoItemClick([&](QObject *, const QString &t) { text = t; });
    menu2.actions().at(2)->trigger();
    EXPECT_EQ(text, "b");

    list.RemString("a");
    EXPECT_EQ(Captions(menu2), QStringList({"-", "1 b"}));
}

TEST(HistoryListMenu, DestroyingTheListRemovesItsItems)
{
    QMenu menu;
    menu.addAction("Open");
    {
        THistoryList list;
        list.SetMenu(&menu);
        list.AddString("a");
        EXPECT_EQ(menu.actions().size(), 3);
    }
    EXPECT_EQ(Captions(menu), QStringList({"Open"}));
}

TEST(HistoryListMenu, MenuDestroyedBeforeTheListIsForgotten)
{
    THistoryList list;
    auto menu = std::make_unique<QMenu>();
    list.SetMenu(menu.get());
    list.AddString("a");
    menu.reset();
    list.AddString("b");
    EXPECT_EQ(list.Menu(), nullptr);
}

TEST(HistoryListStrList, CopyFollowsTheCallersLines)
{
    QStringList external{"own1", "own2"};
    THistoryList list;
    Filled(list, {"a"});
    list.SetStrList(&external);
    EXPECT_EQ(list.ListSizeBefore(), 2);
    EXPECT_EQ(external, QStringList({"own1", "own2", "a"}));
    list.AddString("b");
    EXPECT_EQ(external, QStringList({"own1", "own2", "b", "a"}));
    list.RemString("a");
    EXPECT_EQ(external, QStringList({"own1", "own2", "b"}));
    list.ClearAll();
    EXPECT_EQ(external, QStringList({"own1", "own2"}));

    QStringList other;
    list.AddString("c");
    list.SetStrList(&other);
    EXPECT_EQ(external, QStringList({"own1", "own2"}));
    EXPECT_EQ(other, QStringList({"c"}));
}

// --- combo box ---------------------------------------------------------------

namespace {

QRect ArrowRect(const THistoryCombo &combo)
{
    QStyleOptionComboBox option;
    option.initFrom(&combo);
    option.editable = true;
    option.subControls = QStyle::SC_All;
    return combo.style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxArrow, &combo);
}

QRect EditRect(const THistoryCombo &combo)
{
    QStyleOptionComboBox option;
    option.initFrom(&combo);
    option.editable = true;
    option.subControls = QStyle::SC_All;
    return combo.style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField,
                                         &combo);
}

// A window with the combo box and a second field to move the focus to.
struct ComboWindow
{
    QWidget window;
    THistoryCombo *combo;
    QLineEdit *other;

    ComboWindow()
    {
        auto *layout = new QVBoxLayout(&window);
        combo = new THistoryCombo(&window);
        combo->setObjectName("FileEdit");
        other = new QLineEdit(&window);
        layout->addWidget(combo);
        layout->addWidget(other);
        window.resize(300, 80);
        window.show();
        window.activateWindow();
        QApplication::setActiveWindow(&window);
        other->setFocus(Qt::OtherFocusReason);
        QApplication::processEvents();
    }

    void Enter()
    {
        combo->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
    }
    void Leave()
    {
        other->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
    }
};

} // namespace

TEST(HistoryCombo, DropDownOnlyWithEntriesAndNotReadOnly)
{
    ComboWindow w;
    THistoryCombo &combo = *w.combo;
    EXPECT_FALSE(combo.HasDropDown());
    EXPECT_TRUE(ArrowRect(combo).isEmpty());
    combo.showPopup();
    EXPECT_FALSE(combo.view()->isVisible());

    combo.AddItem("/data/one.gz");
    EXPECT_TRUE(combo.HasDropDown());
    EXPECT_FALSE(ArrowRect(combo).isEmpty());
    EXPECT_EQ(combo.count(), 1);
    EXPECT_LT(EditRect(combo).width(), combo.width() - ArrowRect(combo).width() + 1);

    combo.SetReadOnly(true);
    EXPECT_FALSE(combo.HasDropDown());
    EXPECT_TRUE(ArrowRect(combo).isEmpty());
    EXPECT_EQ(combo.count(), 1) << "the list is kept, only not offered";
    combo.SetReadOnly(false);
    EXPECT_TRUE(combo.HasDropDown());

    combo.DeleteItem("/DATA/ONE.GZ");
    EXPECT_FALSE(combo.HasDropDown());
    EXPECT_EQ(combo.count(), 0);
}

TEST(HistoryCombo, UpdateListKeepsTheTypedText)
{
    ComboWindow w;
    w.combo->setEditText("typed");
    w.combo->AssignList({"a", "b"});
    EXPECT_EQ(w.combo->currentText(), "typed");
    EXPECT_EQ(w.combo->count(), 2);
    EXPECT_EQ(w.combo->itemText(1), "b");
}

TEST(HistoryCombo, FindItemMatchesTheBeginningIgnoringCase)
{
    THistoryCombo combo;
    EXPECT_EQ(combo.FindItem("a"), -1);
    combo.AssignList({"/home/Anna/x.gz", "/home/bob/y.gz", "/home/anna/z.gz"});
    EXPECT_EQ(combo.FindItem("/HOME/ANNA"), 0);
    EXPECT_EQ(combo.FindItem("/home/b"), 1);
    EXPECT_EQ(combo.FindItem("x.gz"), -1);
    EXPECT_EQ(combo.FindItem(""), 0);
}

TEST(HistoryCombo, LeavingAddsTheTextAndSetsModified)
{
    ComboWindow w;
    THistoryCombo &combo = *w.combo;
    combo.AssignList({"old1", "old2"});
    w.Enter();
    ASSERT_TRUE(combo.hasFocus());
    combo.setEditText("fresh");
    w.Leave();
    EXPECT_TRUE(combo.Modified());
    EXPECT_EQ(combo.HistoryList().Entries(), QStringList({"fresh", "old1", "old2"}));
    EXPECT_EQ(combo.count(), 3);

    // While modified, entering keeps the older saved text: going back to
    // "fresh" still counts as a change against the empty start.
    w.Enter();
    combo.setEditText("FRESH");
    w.Leave();
    EXPECT_TRUE(combo.Modified());

    combo.SetModified(false);
    w.Enter();
    combo.setEditText("fresh");
    w.Leave();
    EXPECT_FALSE(combo.Modified()) << "differs only in letter case";
    EXPECT_EQ(combo.HistoryList().Strings(0), "fresh");
}

TEST(HistoryCombo, LeavingWithUnchangedTextMovesItToTheTop)
{
    ComboWindow w;
    THistoryCombo &combo = *w.combo;
    combo.AssignList({"a", "b", "c"});
    combo.setEditText("c");
    w.Enter();
    w.Leave();
    EXPECT_FALSE(combo.Modified());
    EXPECT_EQ(combo.HistoryList().Entries(), QStringList({"c", "a", "b"}));
}

TEST(HistoryCombo, WithoutAutoUpdateLeavingOnlyTracksModified)
{
    ComboWindow w;
    THistoryCombo &combo = *w.combo;
    combo.SetAutoUpdate(false);
    w.Enter();
    combo.setEditText("x");
    w.Leave();
    EXPECT_TRUE(combo.Modified());
    EXPECT_EQ(combo.HistoryList().Count(), 0);
}

class HistoryComboIni : public TempDirTest
{
protected:
    QString IniName() const { return path("packprobe.ini"); }
};

TEST_F(HistoryComboIni, FirstRunKeepsTheNamesAndSavesOnDestruction)
{
    {
        THistoryCombo combo;
        combo.SetMaxItems(15);
        combo.LoadFromIni(IniName(), "GzFiles");
        EXPECT_EQ(combo.HistoryList().Count(), 0);
        EXPECT_EQ(combo.IniFileName(), IniName());
        EXPECT_EQ(combo.IniSection(), "GzFiles");
        combo.AddItem("/a.gz");
        combo.AddItem("/b.gze");
    }
    const TIniFile ini(IniName());
    EXPECT_EQ(ini.ReadString("GzFiles", "History0", ""), "/b.gze");
    EXPECT_EQ(ini.ReadString("GzFiles", "History1", ""), "/a.gz");

    THistoryCombo again;
    again.LoadFromIni(IniName(), "GzFiles");
    EXPECT_EQ(again.HistoryList().Entries(), QStringList({"/b.gze", "/a.gz"}));
    EXPECT_TRUE(again.HasDropDown());
    EXPECT_EQ(again.count(), 2);
    again.SetIniSection(QString()); // nothing saved now
}

TEST_F(HistoryComboIni, LoadFromMissingFileKeepsTheHistory)
{
    THistoryCombo combo;
    combo.AddItem("kept");
    combo.LoadFromIni(path("missing.ini"), "GzFiles");
    EXPECT_EQ(combo.HistoryList().Entries(), QStringList({"kept"}));
    combo.LoadFromIni(QString(), QString());
}

TEST_F(HistoryComboIni, LoadedReadsWhenBothNamesAreSetAndEraseSectionEmptiesIt)
{
    TIniFile ini(IniName());
    ini.WriteString("Recent", "History0", "one");
    ini.WriteString("Recent", "History7", "eight");
    ini.WriteString("Recent", "Other", "stays unless erased");
    {
        THistoryCombo combo;
        combo.SetIniFileName(IniName());
        combo.SetIniSection("Recent");
        combo.SetEraseSection(true);
        combo.Loaded();
        EXPECT_EQ(combo.HistoryList().Entries(), QStringList({"one", "eight"}));
        EXPECT_TRUE(combo.HasDropDown());
    }
    EXPECT_EQ(ini.ReadSection("Recent"), QStringList({"History0", "History1"}));
}
