#include "dialogs/SelectDlg.h"

#include "ModalAnswer.h"

#include "foundation/LangUtils.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

#include <vector>

using namespace foundation;
using namespace dialogs;

namespace {

// --- layout arithmetic --------------------------------------------------------------

TSelectLayoutInput ExampleInput(int buttonCount)
{
    TSelectLayoutInput input;
    input.ppi = 96;
    input.fontHeight = 11;
    input.textWidth = 120;
    input.lineCount = 1;
    input.buttonCount = buttonCount;
    return input;
}

TEST(SelectLayout, ExampleWithTwoButtonsAt96Ppi)
{
    const TSelectLayout layout = ComputeSelectLayout(ExampleInput(2));
    EXPECT_EQ(layout.client.width(), 385);
    EXPECT_EQ(layout.caption, QRect(50, 10, 385 - 50 - 10, 13 + 10));
    EXPECT_EQ(layout.buttonHeight, 26);
    EXPECT_EQ(layout.rowStep, 30);
    ASSERT_EQ(layout.buttons.size(), 3);
    EXPECT_EQ(layout.buttons[0], QRect(50, 43, 105, 26));
    EXPECT_EQ(layout.buttons[1], QRect(160, 43, 105, 26));
    EXPECT_EQ(layout.buttons[2], QRect(270, 43, 105, 26));
    EXPECT_EQ(layout.client.height(), 30 + 43 + 5);
    EXPECT_TRUE(layout.option.isEmpty());
    EXPECT_EQ(layout.icon, QRect(5, 15, 32, 32));
}

struct GridCase
{
    int buttonCount;
    // (left, top) of every button, the cancel button last; -1 ends the list.
    int cells[8][2];
    int clientHeight;
};

class SelectGridTest : public ::testing::TestWithParam<GridCase>
{
};

TEST_P(SelectGridTest, FullRowsThenRightAlignedLastRow)
{
    const GridCase c = GetParam();
    const TSelectLayout layout = ComputeSelectLayout(ExampleInput(c.buttonCount));
    ASSERT_EQ(layout.buttons.size(), c.buttonCount + 1);
    for (int i = 0; i <= c.buttonCount; ++i) {
        EXPECT_EQ(layout.buttons[i].topLeft(), QPoint(c.cells[i][0], c.cells[i][1]))
            << "button " << i;
        EXPECT_EQ(layout.buttons[i].size(), QSize(105, 26));
    }
    EXPECT_EQ(layout.client.height(), c.clientHeight);
}

constexpr GridCase GridCases[] = {
    {0, {{270, 43}}, 78},                                           // cancel only, right column
    {1, {{160, 43}, {270, 43}}, 78},                                // middle and right column
    {3, {{50, 43}, {160, 43}, {270, 43}, {270, 73}}, 108},          // cancel alone below
    {4, {{50, 43}, {160, 43}, {270, 43}, {160, 73}, {270, 73}}, 108},
    {5, {{50, 43}, {160, 43}, {270, 43}, {50, 73}, {160, 73}, {270, 73}}, 108},
    {6, {{50, 43}, {160, 43}, {270, 43}, {50, 73}, {160, 73}, {270, 73}, {270, 103}}, 138},
};
INSTANTIATE_TEST_SUITE_P(ButtonCounts, SelectGridTest, ::testing::ValuesIn(GridCases));

TEST(SelectLayout, WideTextWidensTheDialog)
{
    TSelectLayoutInput input = ExampleInput(2);
    input.textWidth = 500;
    TSelectLayout layout = ComputeSelectLayout(input);
    EXPECT_EQ(layout.client.width(), 560);
    EXPECT_EQ(layout.caption.width(), 500);
    // The buttons stay right-aligned.
    EXPECT_EQ(layout.buttons.last().right() + 1, 560 - 10);

    input.bold = true; // counts 625
    layout = ComputeSelectLayout(input);
    EXPECT_EQ(layout.client.width(), 685);
    EXPECT_EQ(layout.caption.width(), 625);

    // Exactly the standard text width keeps the standard width.
    input.bold = false;
    input.textWidth = 325;
    EXPECT_EQ(ComputeSelectLayout(input).client.width(), 385);
}

TEST(SelectLayout, LinesOptionButtonWidthAndResolution)
{
    TSelectLayoutInput input = ExampleInput(2);
    input.lineCount = 3;
    input.hasOption = true;
    input.optionHeight = 26;
    TSelectLayout layout = ComputeSelectLayout(input);
    EXPECT_EQ(layout.caption.height(), 3 * 13 + 10);
    // y after the text is 10 + 49 + 10 = 69; the box sits 5 higher.
    EXPECT_EQ(layout.option, QRect(50, 64, 385 - 50 - 10, 26));
    EXPECT_EQ(layout.buttons[0].top(), 69 + 26);

    input = ExampleInput(2);
    input.buttonWidth = 80;
    layout = ComputeSelectLayout(input);
    EXPECT_EQ(layout.client.width(), 70 + 240);
    EXPECT_EQ(layout.buttons[0].left(), 310 - 3 * 85 - 5);

    input.buttonWidth = -40; // taken as the standard width
    EXPECT_EQ(ComputeSelectLayout(input).client.width(), 385);

    input = ExampleInput(2);
    input.ppi = 144;
    input.fontHeight = 16;
    layout = ComputeSelectLayout(input);
    EXPECT_EQ(layout.buttons[0].width(), 158); // 157.5 rounded up
    EXPECT_EQ(layout.client.width(), 105 + 3 * 158);
    EXPECT_EQ(layout.caption.left(), 75);
    EXPECT_EQ(layout.buttonHeight, 38);        // 16 * 2.4 = 38.4
    EXPECT_EQ(layout.rowStep, 44);             // 38 * 30 / 26 = 43.8
    EXPECT_EQ(layout.icon, QRect(8, 23, 48, 48));
}

struct PreselectionCase
{
    int preSelection;
    int focus;
    bool checked;
};

class SelectPreselectionTest : public ::testing::TestWithParam<PreselectionCase>
{
};

TEST_P(SelectPreselectionTest, FocusAndCheckBox)
{
    const PreselectionCase c = GetParam();
    EXPECT_EQ(SelectFocusIndex(c.preSelection, 2), c.focus);
    EXPECT_EQ(SelectOptionStartsChecked(c.preSelection), c.checked);
}

constexpr PreselectionCase PreselectionCases[] = {
    {-1, 2, false}, {-257, 2, false}, {0, 0, false},  {1, 1, false},   {2, 2, false},
    {5, 2, false},  {256, 0, true},   {257, 1, true}, {261, 2, true},  {512 + 1, 1, false},
};
INSTANTIATE_TEST_SUITE_P(Values, SelectPreselectionTest, ::testing::ValuesIn(PreselectionCases));

TEST(SelectResult, AddsTheOptionBitOnlyForCallerButtons)
{
    EXPECT_EQ(SelectResult(-1, true), -1);
    EXPECT_EQ(SelectResult(-1, false), -1);
    EXPECT_EQ(SelectResult(0, false), 0);
    EXPECT_EQ(SelectResult(0, true), 256);
    EXPECT_EQ(SelectResult(3, true), 259);
}

// --- the dialog on the offscreen platform ----------------------------------------------

template <typename T>
T *Child(QWidget *dialog, const char *name)
{
    T *child = dialog->findChild<T *>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

// The widget that Tab moves to: the next one in the focus chain that takes
// the focus by Tab.
QWidget *NextTabStop(QWidget *from)
{
    for (QWidget *w = from->nextInFocusChain(); w && w != from; w = w->nextInFocusChain())
        if (w->focusPolicy() & Qt::TabFocus)
            return w;
    return nullptr;
}

class SelectDialogTest : public ::testing::Test
{
protected:
    void SetUp() override { dialog.SetActiveScreenReader(false); }

    int Run(const QStringList &buttons, const QString &option, int preSelection,
            TMsgDlgType type = mtConfirmation)
    {
        return dialog.Execute(QPoint(40, 40), "Recover", "3 deleted mails found.\r\nStart?", type,
                              {}, buttons, option, 0, preSelection);
    }

    TSelectDialog dialog;
};

TEST_F(SelectDialogTest, ClickingACallerButtonReturnsItsIndex)
{
    AnswerModal("SelectDialog", [](QWidget *d) {
        EXPECT_EQ(d->windowTitle(), "Recover");
        EXPECT_EQ(Child<QPushButton>(d, "btSelect0")->text(), "Yes");
        EXPECT_EQ(Child<QPushButton>(d, "btCancel")->text(), "Cancel");
        Child<QPushButton>(d, "btSelect1")->click();
    });
    EXPECT_EQ(Run({"Yes", "Skip"}, QString(), -1), 1);
}

TEST_F(SelectDialogTest, TickedOptionAddsTheBit)
{
    AnswerModal("SelectDialog", [](QWidget *d) {
        auto *option = Child<QCheckBox>(d, "cbOption");
        EXPECT_TRUE(option->isVisible());
        EXPECT_FALSE(option->isChecked());
        option->setChecked(true);
        Child<QPushButton>(d, "btSelect0")->click();
    });
    EXPECT_EQ(Run({"Yes", "Skip"}, "Also mark as unread", -1), 256);
}

TEST_F(SelectDialogTest, PreselectionTicksTheBoxAndFocusesAButtonForEnter)
{
    AnswerModal("SelectDialog", [](QWidget *d) {
        EXPECT_TRUE(Child<QCheckBox>(d, "cbOption")->isChecked());
        EXPECT_EQ(d->focusWidget(), Child<QPushButton>(d, "btSelect1"));
        PressKey(d, Qt::Key_Return);
    });
    EXPECT_EQ(Run({"Yes", "Skip"}, "Also mark as unread", 257), 257);
}

TEST_F(SelectDialogTest, PreselectionOutOfRangeFocusesCancel)
{
    AnswerModal("SelectDialog", [](QWidget *d) {
        EXPECT_EQ(d->focusWidget(), Child<QPushButton>(d, "btCancel"));
        PressKey(d, Qt::Key_Enter);
    });
    EXPECT_EQ(Run({"Yes", "Skip"}, QString(), 5), -1);
}

TEST_F(SelectDialogTest, EscapeCloseBoxAndCancelGiveMinusOneEvenWhenTicked)
{
    const std::vector<std::function<void(QWidget *)>> answers = {
        [](QWidget *d) { PressKey(d, Qt::Key_Escape); },
        [](QWidget *d) { d->close(); },
        [](QWidget *d) { Child<QPushButton>(d, "btCancel")->click(); },
    };
    for (const auto &answer : answers) {
        AnswerModal("SelectDialog", [&answer](QWidget *d) {
            Child<QCheckBox>(d, "cbOption")->setChecked(true);
            answer(d);
        });
        EXPECT_EQ(Run({"Yes", "Skip"}, "Option", 0), -1);
    }
}

TEST_F(SelectDialogTest, ButtonsAreCreatedPerCallAndReleased)
{
    AnswerModal("SelectDialog", [](QWidget *d) {
        EXPECT_EQ(d->findChildren<QPushButton *>().size(), 5);
        Child<QPushButton>(d, "btSelect3")->click();
    });
    EXPECT_EQ(Run({"A", "B", "C", "D"}, QString(), -1), 3);
    EXPECT_TRUE(dialog.Buttons().isEmpty());
    EXPECT_TRUE(dialog.findChildren<QPushButton *>().isEmpty());

    // The window is reused; an empty list shows only the cancel button.
    AnswerModal("SelectDialog", [](QWidget *d) {
        EXPECT_EQ(d->findChildren<QPushButton *>().size(), 1);
        EXPECT_EQ(Child<QPushButton>(d, "btCancel")->text(), "Close");
        PressKey(d, Qt::Key_Return);
    });
    EXPECT_EQ(dialog.Execute(DefaultDialogPos, "T", "Text", mtWarning, {}, {}, QString(), 0, -1,
                             "Close"),
              -1);
}

TEST_F(SelectDialogTest, LayoutFollowsTheComputationOnScreen)
{
    AnswerModal("SelectDialog", [this](QWidget *d) {
        const QList<QPushButton *> &buttons = dialog.Buttons();
        ASSERT_EQ(buttons.size(), 5);
        // Four caller buttons: a full row, then buttons 3 and cancel right-aligned.
        EXPECT_EQ(buttons[3]->x(), buttons[1]->x());
        EXPECT_EQ(buttons[4]->x(), buttons[2]->x());
        EXPECT_GT(buttons[3]->y(), buttons[0]->y());
        EXPECT_EQ(buttons[2]->geometry().right() + 1 + 10, d->width());
        auto *icon = Child<QLabel>(d, "imgIcon");
        EXPECT_TRUE(icon->isVisible());
        EXPECT_EQ(d->pos(), QPoint(40, 40));
        d->close();
    });
    Run({"A", "B", "C", "D"}, QString(), -1);
}

TEST_F(SelectDialogTest, WideAndBoldTextWidenTheWindow)
{
    const QString caption = QString("The folder \"Archives/2026\" holds deleted mails. ").repeated(2);
    const int textWidth = MaxTextWidth(caption, &dialog);
    ASSERT_GT(textWidth, 325);
    for (const bool bold : {false, true}) {
        AnswerModal("SelectDialog", [textWidth, bold](QWidget *d) {
            const int counted = bold ? MulDiv(textWidth, 5, 4) : textWidth;
            EXPECT_EQ(d->width(), counted + 50 + 10) << "bold " << bold;
            EXPECT_EQ(Child<QLabel>(d, "stCaption")->font().bold(), bold);
            d->close();
        });
        dialog.Execute(QPoint(0, 0), "T", caption, mtInformation, bold ? fsBold : TFontStyles(),
                       {"OK"});
    }
}

TEST_F(SelectDialogTest, CustomTypeHidesTheIconAndKeepsTheTextMargin)
{
    AnswerModal("SelectDialog", [](QWidget *d) {
        EXPECT_FALSE(Child<QLabel>(d, "imgIcon")->isVisible());
        EXPECT_EQ(Child<QLabel>(d, "stCaption")->x(), 50);
        d->close();
    });
    Run({"Yes"}, QString(), -1, mtCustom);
}

TEST_F(SelectDialogTest, TabOrderWithAndWithoutScreenReader)
{
    AnswerModal("SelectDialog", [](QWidget *d) {
        auto *caption = Child<QLabel>(d, "stCaption");
        EXPECT_EQ(caption->focusPolicy(), Qt::NoFocus);
        EXPECT_EQ(NextTabStop(Child<QPushButton>(d, "btCancel")), Child<QCheckBox>(d, "cbOption"));
        EXPECT_EQ(NextTabStop(Child<QCheckBox>(d, "cbOption")), Child<QPushButton>(d, "btSelect0"));
        d->close();
    });
    Run({"Yes", "Skip"}, "Option", -1);

    dialog.SetActiveScreenReader(true);
    AnswerModal("SelectDialog", [](QWidget *d) {
        auto *caption = Child<QLabel>(d, "stCaption");
        EXPECT_EQ(d->focusWidget(), caption);
        EXPECT_EQ(NextTabStop(caption), Child<QCheckBox>(d, "cbOption"));
        EXPECT_EQ(NextTabStop(Child<QCheckBox>(d, "cbOption")), Child<QPushButton>(d, "btSelect0"));
        d->close();
    });
    Run({"Yes", "Skip"}, "Option", 1);
}

// The German catalogue is compiled next to the test program.
class SelectDialogGerman : public ::testing::Test
{
protected:
    void SetUp() override { UseLanguage("de"); }
    void TearDown() override
    {
        qunsetenv("LANGUAGE");
        ResetTranslationForTesting();
        UseLanguage(QString());
    }
};

TEST_F(SelectDialogGerman, CancelCaptionComesFromTheDialogsDomain)
{
    TSelectDialog dialog;
    AnswerModal("SelectDialog", [](QWidget *d) {
        EXPECT_EQ(Child<QPushButton>(d, "btCancel")->text(), "Abbrechen");
        PressKey(d, Qt::Key_Escape);
    });
    EXPECT_EQ(dialog.Execute(DefaultDialogPos, "Ordner", "Weiter?", mtConfirmation, {}, {"Ja"}),
              -1);
}

TEST(ExecuteSelectDialog, CreatesAndReleasesTheSharedInstance)
{
    ASSERT_EQ(SelectDialog, nullptr);
    AnswerModal("SelectDialog", [](QWidget *d) {
        EXPECT_EQ(d, SelectDialog);
        Child<QPushButton>(d, "btSelect0")->click();
    });
    EXPECT_EQ(ExecuteSelectDialog("Delete", "Delete the folder?", mtConfirmation, fsBold,
                                  {"Delete"}),
              0);
    EXPECT_EQ(SelectDialog, nullptr);
}

} // namespace
