#include "packprobe/gui/PwdDlg.h"

#include "dialogs/ModalAnswer.h"

#include "dialogs/MsgDialogs.h"
#include "dialogs/WinUtils.h"

#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>

using namespace dialogs;
using namespace packprobe;

using namespace dialogs;
using namespace packprobe;

using namespace packprobe;

namespace {

// What one showing of the dialog looked like.
struct TSeen
{
    QSize client;
    int promptHeight = 0;
    int promptWidth = 0;
    int topHeight = 0;
    bool skipVisible = false;
    bool depthVisible = false;
    QString caption;
    QString prompt;
    QString fieldText;
    QString checkedDepth;
};

TSeen Look(QWidget *dialog)
{
    TSeen seen;
    seen.client = dialog->size();
    auto *prompt = dialog->findChild<QLabel *>(QStringLiteral("lblPrompt"));
    seen.promptHeight = prompt->height();
    seen.promptWidth = prompt->width();
    seen.prompt = prompt->text();
    seen.topHeight = dialog->findChild<QWidget *>(QStringLiteral("pnTop"))->height();
    seen.skipVisible = dialog->findChild<QPushButton *>(QStringLiteral("btnSkip"))->isVisible();
    seen.depthVisible = dialog->findChild<QGroupBox *>(QStringLiteral("gbEncrypt"))->isVisible();
    seen.caption = dialog->windowTitle();
    seen.fieldText = dialog->findChild<QLineEdit *>(QStringLiteral("edtPwd"))->text();
    for (const char *name : {"rbEncAuto", "rbEnc128", "rbEnc256"})
        if (dialog->findChild<QRadioButton *>(QString::fromLatin1(name))->isChecked())
            seen.checkedDepth = QString::fromLatin1(name);
    return seen;
}

QLineEdit *Field(QWidget *dialog)
{
    return dialog->findChild<QLineEdit *>(QStringLiteral("edtPwd"));
}

void Click(QWidget *dialog, const char *button)
{
    dialog->findChild<QAbstractButton *>(QString::fromLatin1(button))->click();
}

class PasswordDialogTest : public ::testing::Test
{
protected:
    void SetUp() override { parent.reset(ShowActiveParent()); dialog = new TPasswordDialog(parent.get()); }

    // Runs the main variant and answers it with action after looking at it.
    int RunMain(const QString &prompt, bool skip, bool enc, QString &pwd, int &encMode,
                const std::function<void(QWidget *)> &action)
    {
        AnswerModal(QStringLiteral("PasswordDialog"), [&, action](QWidget *w) {
            seen = Look(w);
            action(w);
        });
        return dialog->Execute(QPoint(50, 50), QStringLiteral("Title"), prompt, skip, enc, pwd,
                               encMode);
    }

    std::unique_ptr<QWidget> parent;
    TPasswordDialog *dialog = nullptr;
    TSeen seen;
};

// --- sizing ------------------------------------------------------------------------

struct PromptHeightCase
{
    int fontHeight;
    int margin;
    int lines;
    int height;
};

class PasswordPromptHeightTest : public ::testing::TestWithParam<PromptHeightCase>
{
};

TEST_P(PasswordPromptHeightTest, LinesOfFontHeightPlusMarginAndTwoMarginsAround)
{
    const PromptHeightCase c = GetParam();
    EXPECT_EQ(PasswordPromptHeight(c.fontHeight, c.margin, c.lines), c.height);
}

constexpr PromptHeightCase PromptHeightCases[] = {
    {11, 2, 1, 17},
    {11, 2, 3, 43},
    {-11, 2, 3, 43}, // a font height given as negative counts by its size
    {14, 3, 2, 40},
};
INSTANTIATE_TEST_SUITE_P(Sizes, PasswordPromptHeightTest, ::testing::ValuesIn(PromptHeightCases));

TEST(PasswordPromptMargin, TwoPixelsAt96AndScaled)
{
    EXPECT_EQ(PasswordPromptMargin(96), 2);
    EXPECT_EQ(PasswordPromptMargin(144), 3);
    EXPECT_EQ(PasswordPromptMargin(192), 4);
}

TEST_F(PasswordDialogTest, ThreeLinePromptMakesPromptAndTopPanelThreeLinesHigh)
{
    QString pwd;
    int mode = 0;
    RunMain(QStringLiteral("One line"), false, false, pwd, mode, [](QWidget *w) { Click(w, "CancelBtn"); });
    const TSeen one = seen;
    RunMain(QStringLiteral("First\r\nSecond\r\nThird"), false, false, pwd, mode,
            [](QWidget *w) { Click(w, "CancelBtn"); });
    const TSeen three = seen;

    const int m = PasswordPromptMargin(MonitorPixelsPerInch(dialog));
    const int line = one.promptHeight - 2 * m; // one line and its margin
    EXPECT_GT(line, m);
    EXPECT_EQ(three.promptHeight, 3 * line + 2 * m);
    EXPECT_EQ(one.topHeight, one.promptHeight + 2 * m);
    EXPECT_EQ(three.topHeight - one.topHeight, three.promptHeight - one.promptHeight);
    EXPECT_EQ(three.client.height() - one.client.height(), three.topHeight - one.topHeight);
    EXPECT_EQ(three.prompt, QStringLiteral("First\nSecond\nThird"));
}

TEST_F(PasswordDialogTest, LoneLineFeedIsNoLineBreak)
{
    QString pwd;
    int mode = 0;
    RunMain(QStringLiteral("One\nline"), false, false, pwd, mode, [](QWidget *w) { Click(w, "CancelBtn"); });
    const TSeen lone = seen;
    RunMain(QStringLiteral("One line"), false, false, pwd, mode, [](QWidget *w) { Click(w, "CancelBtn"); });
    EXPECT_EQ(lone.promptHeight, seen.promptHeight);
    EXPECT_EQ(lone.prompt, QStringLiteral("One line"));
}

TEST_F(PasswordDialogTest, WithoutDepthGroupTheDialogIs54PixelsLower)
{
    QString pwd;
    int mode = 0;
    RunMain(QStringLiteral("Prompt"), false, true, pwd, mode, [](QWidget *w) { Click(w, "CancelBtn"); });
    const TSeen with = seen;
    RunMain(QStringLiteral("Prompt"), false, false, pwd, mode, [](QWidget *w) { Click(w, "CancelBtn"); });
    EXPECT_TRUE(with.depthVisible);
    EXPECT_FALSE(seen.depthVisible);
    EXPECT_EQ(with.client.height() - seen.client.height(), PwdEncryptHeight);
    EXPECT_EQ(seen.client.height(), seen.topHeight + PwdInputHeight + PwdBottomHeight);
}

TEST_F(PasswordDialogTest, PromptWiderThanTheDialogWidensItWithItsMarginOnBothSides)
{
    QString pwd;
    int mode = 0;
    RunMain(QStringLiteral("short"), false, false, pwd, mode, [](QWidget *w) { Click(w, "CancelBtn"); });
    EXPECT_EQ(seen.client.width(), PwdClientWidth);
    const QString wide = QString(120, QLatin1Char('W'));
    RunMain(QStringLiteral("short\r\n") + wide, false, false, pwd, mode,
            [](QWidget *w) { Click(w, "CancelBtn"); });
    const QLabel *prompt = dialog->findChild<QLabel *>(QStringLiteral("lblPrompt"));
    const int w = MaxTextWidthForFont(wide, prompt->font());
    EXPECT_GT(w, PwdClientWidth);
    EXPECT_EQ(seen.promptWidth, w);
    EXPECT_EQ(seen.client.width(), 2 * PwdPromptLeft + w);
}

// --- results -----------------------------------------------------------------------

TEST_F(PasswordDialogTest, EnterReturnsOkWithTheTypedText)
{
    QString pwd = QStringLiteral("old");
    int mode = 0;
    const int result = RunMain(QStringLiteral("Prompt"), false, false, pwd, mode, [](QWidget *w) {
        Field(w)->setText(QStringLiteral("s3cret"));
        PressKey(w, Qt::Key_Return);
    });
    EXPECT_EQ(result, mrOk);
    EXPECT_EQ(pwd, QStringLiteral("s3cret"));
    EXPECT_EQ(seen.caption, QStringLiteral("Title"));
    EXPECT_TRUE(seen.fieldText.isEmpty());
}

TEST_F(PasswordDialogTest, EscapeReturnsCancelAndLeavesPasswordAndModeAlone)
{
    QString pwd = QStringLiteral("old");
    int mode = 1;
    const int result = RunMain(QStringLiteral("Prompt"), false, true, pwd, mode, [](QWidget *w) {
        Field(w)->setText(QStringLiteral("typed"));
        Click(w, "rbEnc256");
        PressKey(w, Qt::Key_Escape);
    });
    EXPECT_EQ(result, mrCancel);
    EXPECT_EQ(pwd, QStringLiteral("old"));
    EXPECT_EQ(mode, 1);
}

TEST_F(PasswordDialogTest, CancelButtonReturnsCancel)
{
    QString pwd = QStringLiteral("old");
    int mode = 0;
    EXPECT_EQ(RunMain(QStringLiteral("Prompt"), false, false, pwd, mode,
                      [](QWidget *w) { Click(w, "CancelBtn"); }),
              mrCancel);
    EXPECT_EQ(pwd, QStringLiteral("old"));
}

TEST_F(PasswordDialogTest, SkipShowsOnlyWhenAskedAndReturnsSix)
{
    QString pwd = QStringLiteral("old");
    int mode = 0;
    RunMain(QStringLiteral("Prompt"), false, false, pwd, mode, [](QWidget *w) { Click(w, "CancelBtn"); });
    EXPECT_FALSE(seen.skipVisible);
    const int result = RunMain(QStringLiteral("Prompt"), true, false, pwd, mode, [](QWidget *w) {
        Field(w)->setText(QStringLiteral("typed"));
        Click(w, "btnSkip");
    });
    EXPECT_TRUE(seen.skipVisible);
    EXPECT_EQ(result, mrYes);
    EXPECT_EQ(pwd, QStringLiteral("old"));
}

TEST_F(PasswordDialogTest, FieldIsEmptyAndMaskedAtEveryShowing)
{
    QString pwd;
    int mode = 0;
    RunMain(QStringLiteral("Prompt"), false, false, pwd, mode, [](QWidget *w) {
        Field(w)->setText(QStringLiteral("first"));
        Click(w, "OKBtn");
    });
    QLineEdit::EchoMode echo = QLineEdit::Normal;
    QString placeholder;
    bool focused = false;
    RunMain(QStringLiteral("Prompt"), false, false, pwd, mode, [&](QWidget *w) {
        echo = Field(w)->echoMode();
        placeholder = Field(w)->placeholderText();
        focused = w->focusWidget() == Field(w);
        Click(w, "CancelBtn");
    });
    EXPECT_TRUE(seen.fieldText.isEmpty());
    EXPECT_EQ(echo, QLineEdit::Password);
    EXPECT_EQ(placeholder, QStringLiteral("Password"));
    EXPECT_TRUE(focused);
}

// --- depth -------------------------------------------------------------------------

struct DepthCase
{
    const char *name;
    int modeIn;
    const char *preselected;
    const char *chosen; // nullptr: keep the preselection
    int modeOut;
};

class PasswordDepthTest : public PasswordDialogTest, public ::testing::WithParamInterface<DepthCase>
{
};

TEST_P(PasswordDepthTest, PreselectsAndReturnsTheKeyMode)
{
    const DepthCase c = GetParam();
    QString pwd;
    int mode = c.modeIn;
    const int result = RunMain(QStringLiteral("Prompt"), false, true, pwd, mode, [c](QWidget *w) {
        if (c.chosen)
            Click(w, c.chosen);
        Click(w, "OKBtn");
    });
    EXPECT_EQ(result, mrOk);
    EXPECT_EQ(seen.checkedDepth, QString::fromLatin1(c.preselected));
    EXPECT_EQ(mode, c.modeOut);
}

constexpr DepthCase DepthCases[] = {
    {"AutomaticStaysAutomatic", 0, "rbEncAuto", nullptr, 0},
    {"Aes128Preselected", 1, "rbEnc128", nullptr, 1},
    {"Aes192ShowsAsTheStrongerChoice", 2, "rbEnc256", nullptr, 3},
    {"Aes256StaysAes256", 3, "rbEnc256", nullptr, 3},
    {"UnknownModeIsAutomatic", 7, "rbEncAuto", nullptr, 0},
    {"Choose128", 0, "rbEncAuto", "rbEnc128", 1},
    {"ChooseAutomatic", 3, "rbEnc256", "rbEncAuto", 0},
};
INSTANTIATE_TEST_SUITE_P(Modes, PasswordDepthTest, ::testing::ValuesIn(DepthCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(PasswordDialogTest, WithoutDepthGroupTheModeIsLeftAlone)
{
    QString pwd;
    int mode = 2;
    RunMain(QStringLiteral("Prompt"), false, false, pwd, mode, [](QWidget *w) { Click(w, "OKBtn"); });
    EXPECT_EQ(mode, 2);
}

// --- paste -------------------------------------------------------------------------

TEST_F(PasswordDialogTest, PasteReplacesTheTypedTextByTheClipboard)
{
    QGuiApplication::clipboard()->setText(QStringLiteral("from clipboard"));
    QString pwd;
    int mode = 0;
    RunMain(QStringLiteral("Prompt"), false, false, pwd, mode, [](QWidget *w) {
        Field(w)->setText(QStringLiteral("typed"));
        Click(w, "bbPaste");
        Click(w, "OKBtn");
    });
    EXPECT_EQ(pwd, QStringLiteral("from clipboard"));
}

TEST_F(PasswordDialogTest, PasteWithAnEmptyClipboardLeavesTheFieldEmpty)
{
    QGuiApplication::clipboard()->clear();
    QString pwd = QStringLiteral("old");
    int mode = 0;
    RunMain(QStringLiteral("Prompt"), false, false, pwd, mode, [](QWidget *w) {
        Field(w)->setText(QStringLiteral("typed"));
        Click(w, "bbPaste");
        Click(w, "OKBtn");
    });
    EXPECT_EQ(pwd, QString());
}

// --- F11 ---------------------------------------------------------------------------

TEST_F(PasswordDialogTest, F11ShowsTheHintOfTheFocusedControl)
{
    QString pwd;
    int mode = 0;
    QString fieldHint;
    QString pasteHint;
    RunMain(QStringLiteral("Prompt"), false, false, pwd, mode, [&](QWidget *w) {
        const auto readHint = [](QString &into) {
            AnswerModal(QStringLiteral("ShowMsgDialog"), [&into](QWidget *box) {
                into = box->findChild<QLabel *>(QStringLiteral("stInfo"))->text();
                box->close();
            });
        };
        Field(w)->setFocus();
        readHint(fieldHint);
        PressKey(w, Qt::Key_F11, Qt::ShiftModifier);
        w->findChild<QToolButton *>(QStringLiteral("bbPaste"))->setFocus();
        readHint(pasteHint);
        PressKey(w, Qt::Key_F11);
        Click(w, "CancelBtn");
    });
    EXPECT_EQ(fieldHint, QStringLiteral("Password"));
    EXPECT_EQ(pasteHint, QStringLiteral("Paste from clipboard"));
}

TEST(PasswordDialogHint, PlaceholderBeforeToolTipAndNothingForNone)
{
    QLineEdit edit;
    edit.setToolTip(QStringLiteral("tip"));
    EXPECT_EQ(TPasswordDialog::HintOf(&edit), QStringLiteral("tip"));
    edit.setPlaceholderText(QStringLiteral("grey"));
    EXPECT_EQ(TPasswordDialog::HintOf(&edit), QStringLiteral("grey"));
    QLabel label;
    EXPECT_EQ(TPasswordDialog::HintOf(&label), QString());
    EXPECT_EQ(TPasswordDialog::HintOf(nullptr), QString());
}

// --- 8-bit variants ----------------------------------------------------------------

struct LegacyCase
{
    const char *name;
    const char16_t *typed;
    const char *bytes;
};

class PasswordLegacyTest : public PasswordDialogTest, public ::testing::WithParamInterface<LegacyCase>
{
};

TEST_P(PasswordLegacyTest, TypedTextComesBackInTheLegacyCodePage)
{
    const LegacyCase c = GetParam();
    const QString typed = QString::fromUtf16(c.typed);
    QByteArray pwd = "old";
    AnswerModal(QStringLiteral("PasswordDialog"), [&](QWidget *w) {
        seen = Look(w);
        Field(w)->setText(typed);
        Click(w, "OKBtn");
    });
    EXPECT_EQ(dialog->Execute(QStringLiteral("Title"), QStringLiteral("Prompt"), pwd), mrOk);
    EXPECT_EQ(pwd, QByteArray(c.bytes));
    EXPECT_FALSE(seen.skipVisible);
    EXPECT_FALSE(seen.depthVisible);
}

constexpr LegacyCase LegacyCases[] = {
    {"Ascii", u"plain", "plain"},
    {"Latin1Letters", u"\u00e4\u00f6\u00fc\u00df", "\xe4\xf6\xfc\xdf"},
    {"EuroSignHasItsOwnByte", u"\u20ac5", "\x80" "5"},
    {"CjkBecomesQuestionMark", u"a\u65e5b", "a?b"},
    {"CyrillicBecomesQuestionMarks", u"\u043f\u0430", "??"},
};
INSTANTIATE_TEST_SUITE_P(Texts, PasswordLegacyTest, ::testing::ValuesIn(LegacyCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(PasswordDialogTest, EightBitVariantWithSkipNeverShowsTheDepthGroup)
{
    QByteArray pwd = "old";
    int mode = 3;
    AnswerModal(QStringLiteral("PasswordDialog"), [&](QWidget *w) {
        seen = Look(w);
        Click(w, "btnSkip");
    });
    EXPECT_EQ(dialog->Execute(QPoint(10, 10), QStringLiteral("T"), QStringLiteral("P"), true, true,
                              pwd, mode),
              mrYes);
    EXPECT_TRUE(seen.skipVisible);
    EXPECT_FALSE(seen.depthVisible);
    EXPECT_EQ(pwd, QByteArray("old"));
    EXPECT_EQ(mode, 3);
}

TEST_F(PasswordDialogTest, EightBitCancelLeavesThePasswordAlone)
{
    QByteArray pwd = "old";
    AnswerModal(QStringLiteral("PasswordDialog"), [](QWidget *w) {
        Field(w)->setText(QStringLiteral("typed"));
        PressKey(w, Qt::Key_Escape);
    });
    EXPECT_EQ(dialog->Execute(QPoint(10, 10), QStringLiteral("T"), QStringLiteral("P"), pwd), mrCancel);
    EXPECT_EQ(pwd, QByteArray("old"));
}

} // namespace
