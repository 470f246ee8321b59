#include "dialogs/ShowMessageDlg.h"

#include "ModalAnswer.h"

#include "foundation/LangUtils.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <gtest/gtest.h>

using namespace foundation;
using namespace dialogs;

namespace {

// --- the type table ---------------------------------------------------------------

struct SetupCase
{
    TMsgDialogType type;
    TMsgDlgBtn defaultButton;
    // captions and results left to right; nullptr for a hidden button
    const char *left;
    int leftResult;
    const char *center;
    int centerResult;
    const char *close;
    int closeResult;
    int defaultIndex; // 0 left, 1 center, 2 close, -1 none
    int icon;
    const char *caption;
};

class ShowMsgSetupTest : public ::testing::TestWithParam<SetupCase>
{
};

void ExpectButton(const TShowMsgButtonSpec &spec, const char *caption, int result, bool isDefault,
                  const char *which)
{
    SCOPED_TRACE(which);
    EXPECT_EQ(spec.visible, caption != nullptr);
    if (!caption)
        return;
    EXPECT_STREQ(spec.caption, caption);
    EXPECT_EQ(spec.result, result);
    EXPECT_EQ(spec.isDefault, isDefault);
}

TEST_P(ShowMsgSetupTest, ButtonsIconAndCaption)
{
    const SetupCase c = GetParam();
    const TShowMsgSetup setup = ShowMsgSetupFor(c.type, c.defaultButton);
    ExpectButton(setup.left, c.left, c.leftResult, c.defaultIndex == 0, "left");
    ExpectButton(setup.center, c.center, c.centerResult, c.defaultIndex == 1, "center");
    ExpectButton(setup.close, c.close, c.closeResult, c.defaultIndex == 2, "close");
    EXPECT_EQ(setup.icon, c.icon);
    EXPECT_STREQ(setup.caption, c.caption);
}

constexpr SetupCase SetupCases[] = {
    {mdtInformation, mbYes, nullptr, 0, nullptr, 0, "&Close", mrCancel, 2, 2, "Information"},
    {mdtWarning, mbNo, nullptr, 0, nullptr, 0, "&Close", mrCancel, 2, 0, "Warning"},
    {mdtError, mbRetry, nullptr, 0, nullptr, 0, "&Close", mrCancel, 2, 1, "Error"},
    {mdtConfirm, mbYes, nullptr, 0, "&Yes", mrYes, "&No", mrNo, 1, 3, "Confirm"},
    {mdtConfirm, mbNo, nullptr, 0, "&Yes", mrYes, "&No", mrNo, 2, 3, "Confirm"},
    {mdtConfirmError, mbYes, nullptr, 0, "&Yes", mrOk, "Cancel", mrCancel, 1, 1, "Error"},
    {mdtConfirmRetry, mbRetry, nullptr, 0, "&Retry", mrRetry, "Cancel", mrCancel, 1, 1, "Error"},
    {mdtConfirmRetry, mbYes, nullptr, 0, "&Retry", mrRetry, "Cancel", mrCancel, -1, 1, "Error"},
    {mdtConfirmCancel, mbYes, nullptr, 0, "&Yes", mrYes, "Cancel", mrCancel, 1, 3, "Confirm"},
    {mdtConfirmYesNo, mbNo, "&Yes", mrYes, "&No", mrNo, "Cancel", mrCancel, 1, 3, "Confirm"},
    {mdtConfirmYesNo, mbYes, "&Yes", mrYes, "&No", mrNo, "Cancel", mrCancel, 0, 3, "Confirm"},
    {mdtCustom, mbYes, nullptr, 0, nullptr, 0, nullptr, 0, -1, -1, "Information"},
};
INSTANTIATE_TEST_SUITE_P(Types, ShowMsgSetupTest, ::testing::ValuesIn(SetupCases));

// --- timer and layout arithmetic ------------------------------------------------------

TEST(ShowMsgTimer, DelayOrLengthBased)
{
    const QString text25(25, QLatin1Char('a'));
    EXPECT_EQ(ShowMsgTimerInterval(text25, 0), 5000);
    EXPECT_EQ(ShowMsgTimerInterval(text25, 3), 3000);
    EXPECT_EQ(ShowMsgTimerInterval("a", 0), 2120);
    EXPECT_EQ(ShowMsgTimerInterval(text25, -1), 5000);

    EXPECT_TRUE(ShowMsgRunsTimer(mdtCustom, 0));
    EXPECT_TRUE(ShowMsgRunsTimer(mdtInformation, 4));
    EXPECT_FALSE(ShowMsgRunsTimer(mdtInformation, 0));
    EXPECT_FALSE(ShowMsgRunsTimer(mdtConfirmYesNo, -2));
}

TShowMsgLayoutInput LayoutInput(TMsgDialogType type, QSize extent, int ppi = 96)
{
    TShowMsgLayoutInput input;
    input.ppi = ppi;
    input.type = type;
    input.textExtent = extent;
    input.iconHeight = MulDiv(32, ppi, 96);
    return input;
}

TEST(ShowMsgLayout, NarrowTextTakesTheWidthOfTheButtons)
{
    const TShowMsgLayout layout = ComputeShowMsgLayout(LayoutInput(mdtInformation, {60, 13}));
    // W = 87 + 112, client = 2 * 15 + 45 + W; height 3 * 10 + (15 + 32) + 32.
    EXPECT_EQ(layout.client, QSize(274, 109));
    EXPECT_EQ(layout.info.topLeft(), QPoint(45, 15));
    EXPECT_EQ(layout.info.height(), 47);
    EXPECT_EQ(layout.close, QRect(274 - 4 - 112, 109 - 36, 112, 32));
    EXPECT_EQ(layout.center.right() + 1, 274 - 119);
    EXPECT_EQ(layout.icon, QRect(5, 15, 32, 32));
}

TEST(ShowMsgLayout, ThreeButtonsAndCustomType)
{
    EXPECT_EQ(ComputeShowMsgLayout(LayoutInput(mdtConfirmYesNo, {60, 13})).client.width(),
              75 + 87 + 87 + 112);
    // The custom type has no icon: the minimum text height is 2 * 15.
    const TShowMsgLayout custom = ComputeShowMsgLayout(LayoutInput(mdtCustom, {60, 13}));
    EXPECT_EQ(custom.client, QSize(274, 30 + 30 + 32));
    EXPECT_EQ(custom.info.height(), 30);
}

TEST(ShowMsgLayout, TextSizeWinsWhenLarger)
{
    // Three lines of 13: 39 is below the icon's 47; three of 16: 48 above it.
    EXPECT_EQ(ComputeShowMsgLayout(LayoutInput(mdtError, {150, 39})).info.height(), 47);
    const TShowMsgLayout tall = ComputeShowMsgLayout(LayoutInput(mdtError, {150, 48}));
    EXPECT_EQ(tall.info.height(), 48);
    EXPECT_EQ(tall.client.height(), 30 + 48 + 32);

    const TShowMsgLayout wide = ComputeShowMsgLayout(LayoutInput(mdtWarning, {400, 13}));
    EXPECT_EQ(wide.client.width(), 75 + 400);
    EXPECT_GE(wide.info.width(), 400);
}

TEST(ShowMsgLayout, At144PixelsPerInch)
{
    EXPECT_EQ(ShowMsgMargin(96), 10);
    EXPECT_EQ(ShowMsgMargin(144), 15);
    const TShowMsgLayout layout = ComputeShowMsgLayout(LayoutInput(mdtInformation, {60, 20}, 144));
    // W = 131 + 168 (87 and 112 scaled), text top 23 (22.5 rounded), icon 48.
    EXPECT_EQ(layout.client.width(), 2 * 23 + 68 + 131 + 168);
    EXPECT_EQ(layout.client.height(), 3 * 15 + (23 + 48) + 48);
    EXPECT_EQ(layout.icon.size(), QSize(48, 48));
}

TEST(ShowMsgDialog, PicturesAreScaledOnlyFrom120Percent)
{
    // The test screen has the design resolution: pictures keep their sizes.
    TShowMsgDialog dialog;
    ASSERT_LT(ScalingPercentage(96, MonitorPixelsPerInch(&dialog)), 120);
    EXPECT_EQ(dialog.Icons().ImageSize(), QSize(32, 32));
    EXPECT_EQ(dialog.Glyphs().ImageSize(), QSize(16, 16));
    EXPECT_EQ(dialog.Icons().Count(), 4);
    EXPECT_EQ(dialog.Glyphs().Count(), 5);

    TImageList icons = dialog.Icons();
    TImageList glyphs = dialog.Glyphs();
    ScaleImageList(icons, 96, 144);
    ScaleImageList(glyphs, 96, 144);
    EXPECT_EQ(icons.ImageSize(), QSize(48, 48));
    EXPECT_EQ(glyphs.ImageSize(), QSize(24, 24));
}

// --- the dialog on the offscreen platform ----------------------------------------------

template <typename T>
T *Child(QWidget *dialog, const char *name)
{
    T *child = dialog->findChild<T *>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

TEST(ShowMsgDialogAt, EmptyTextShowsNothing)
{
    bool shown = false;
    QTimer::singleShot(0, [&shown] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            shown = true;
            modal->close();
        }
    });
    EXPECT_EQ(ShowMsgDialogAt(QPoint(10, 10), QString(), 0, mdtInformation), 0);
    QApplication::processEvents();
    EXPECT_FALSE(shown);
}

TEST(ShowMsgDialogCentred, CustomNoteClosesByItsTimer)
{
    const QString text(25, QLatin1Char('x'));
    AnswerModal("ShowMsgDialog", [](QWidget *d) {
        auto *timer = d->findChild<QTimer *>("Timer");
        ASSERT_NE(timer, nullptr);
        EXPECT_TRUE(timer->isActive());
        EXPECT_EQ(timer->interval(), 5000);
        EXPECT_EQ(d->windowTitle(), "Information");
        EXPECT_FALSE(Child<QLabel>(d, "imgIcon")->isVisible());
        EXPECT_FALSE(Child<QPushButton>(d, "btClose")->isVisible());
        EXPECT_FALSE(Child<QPushButton>(d, "btCenter")->isVisible());
        // Let it expire sooner than its real 5 seconds.
        timer->start(50);
    });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(ShowMsgDialogCentred(text, mdtCustom), mrCancel);
    EXPECT_LT(clock.elapsed(), 4000);
}

TEST(ShowMsgDialogAt, DelayedInformationClosesAfterItsDelay)
{
    AnswerModal("ShowMsgDialog", [](QWidget *d) {
        EXPECT_EQ(d->findChild<QTimer *>("Timer")->interval(), 1000);
        EXPECT_EQ(d->windowTitle(), "Information");
        EXPECT_TRUE(Child<QLabel>(d, "imgIcon")->isVisible());
    });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(ShowMsgDialogAt(QPoint(20, 20), "Saved.", 1, mdtWarning), mrCancel);
    EXPECT_GE(clock.elapsed(), 900);
}

TEST(ShowMsgDialogAt, AnyKeyClosesATimedDialog)
{
    AnswerModal("ShowMsgDialog", [](QWidget *d) { PressKey(d, Qt::Key_A); });
    EXPECT_EQ(ShowMsgDialogAt(QPoint(20, 20), "Saved.", 4, mdtInformation), mrCancel);
}

TEST(ShowMsgDialogAt, UntimedDialogIgnoresKeysButF11)
{
    AnswerModal("ShowMsgDialog", [](QWidget *d) {
        EXPECT_EQ(d->windowTitle(), "Information");
        EXPECT_FALSE(d->findChild<QTimer *>("Timer")->isActive());
        PressKey(d, Qt::Key_A);
        QApplication::processEvents();
        EXPECT_TRUE(d->isVisible());
        PressKey(d, Qt::Key_F11);
    });
    EXPECT_EQ(ShowMsgDialogAt(QPoint(20, 20), "Saved.", 0, mdtInformation), mrCancel);
}

TEST(ShowMsgDialogAt, EnterPressesTheDefaultButton)
{
    AnswerModal("ShowMsgDialog", [](QWidget *d) {
        EXPECT_EQ(d->windowTitle(), "Confirm");
        EXPECT_EQ(Child<QPushButton>(d, "btLeft")->text(), "&Yes");
        EXPECT_EQ(Child<QPushButton>(d, "btCenter")->text(), "&No");
        EXPECT_EQ(Child<QPushButton>(d, "btClose")->text(), "Cancel");
        EXPECT_TRUE(Child<QPushButton>(d, "btCenter")->isDefault());
        EXPECT_EQ(d->focusWidget(), Child<QLabel>(d, "stInfo"));
        PressKey(d, Qt::Key_Return);
    });
    EXPECT_EQ(ShowMsgDialogAt(QPoint(20, 20), "Overwrite?", 0, mdtConfirmYesNo, mbNo), mrNo);
}

TEST(ShowMsgDialogAt, EnterInATimedDialogStillPressesTheDefaultButton)
{
    AnswerModal("ShowMsgDialog", [](QWidget *d) { PressKey(d, Qt::Key_Enter); });
    EXPECT_EQ(ShowMsgDialogAt(QPoint(20, 20), "Retry?", 5, mdtConfirmRetry, mbRetry), mrRetry);
}

TEST(ShowMsgDialog, AKeyThatEndedOneShowingDoesNotCloseTheNext)
{
    // Enter in a timed dialog both presses the default button and asks for a
    // close; the dialog shown again afterwards must stay until answered.
    TShowMsgDialog dialog;
    AnswerModal("ShowMsgDialog", [](QWidget *d) { PressKey(d, Qt::Key_Return); });
    EXPECT_EQ(dialog.Execute(QPoint(20, 20), "Retry?", 5, mdtConfirmRetry, mbRetry, dmActiveForm),
              mrRetry);

    bool stayedOpen = false;
    AnswerModal("ShowMsgDialog", [&stayedOpen](QWidget *d) {
        QApplication::processEvents();
        stayedOpen = d->isVisible();
        Child<QPushButton>(d, "btCenter")->click();
    });
    EXPECT_EQ(dialog.Execute(QPoint(20, 20), "Go on?", 0, mdtConfirm, mbYes, dmActiveForm), mrYes);
    EXPECT_TRUE(stayedOpen);
}

TEST(ShowMsgDialogAt, EscapePressesTheRightmostButtonAndCloseBoxCancels)
{
    AnswerModal("ShowMsgDialog", [](QWidget *d) { PressKey(d, Qt::Key_Escape); });
    EXPECT_EQ(ShowMsgDialogAt(QPoint(20, 20), "Go on?", 0, mdtConfirm, mbYes), mrNo);

    AnswerModal("ShowMsgDialog", [](QWidget *d) { d->close(); });
    EXPECT_EQ(ShowMsgDialogAt(QPoint(20, 20), "Go on?", 0, mdtConfirm, mbYes), mrCancel);

    AnswerModal("ShowMsgDialog", [](QWidget *d) {
        Child<QPushButton>(d, "btCenter")->click();
    });
    EXPECT_EQ(ShowMsgDialogAt(QPoint(20, 20), "Delete?", 0, mdtConfirmError, mbYes), mrOk);
}

TEST(ShowMsgDialogAt, SizedToItsTextAndPlacedAtThePoint)
{
    AnswerModal("ShowMsgDialog", [](QWidget *d) {
        EXPECT_EQ(d->width(), 2 * 15 + 45 + 87 + 112);
        EXPECT_EQ(d->pos(), QPoint(20, 30));
        d->close();
    });
    ShowMsgDialogAt(QPoint(20, 30), "Short.", 0, mdtError);

    const QString lines = "First line\r\nSecond line\r\nA third line that is rather long, "
                          "longer than the buttons together";
    AnswerModal("ShowMsgDialog", [lines](QWidget *d) {
        auto *info = Child<QLabel>(d, "stInfo");
        const QSize extent = TextExtentForFont(lines, info->font());
        EXPECT_EQ(d->width(), 75 + extent.width());
        EXPECT_EQ(info->height(), qMax(47, extent.height()));
        EXPECT_EQ(d->height(), 30 + info->height() + 32);
        d->close();
    });
    ShowMsgDialogAt(QPoint(20, 30), lines, 0, mdtError);
}

TEST(ShowMsgDialogAt, OneNegativeCoordinateCentresIt)
{
    // Unlike the positioned message box, one negative coordinate is enough.
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    for (const QPoint &pos : {QPoint(100, -1), QPoint(-1, 100)}) {
        AnswerModal("ShowMsgDialog", [area](QWidget *d) {
            // Centred by its size before it had a frame: allow for the frame.
            const QPoint offset = d->frameGeometry().center() - area.center();
            EXPECT_LE(qAbs(offset.x()), 3);
            EXPECT_LE(qAbs(offset.y()), 3);
            d->close();
        });
        ShowMsgDialogAt(pos, "Centred.", 0, mdtInformation, mbYes, dmPrimary);
    }
}

// The German catalogue is compiled next to the test program.
class GermanTexts : public ::testing::Test
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

TEST_F(GermanTexts, DialogTextsComeFromTheDialogsDomain)
{
    AnswerModal("ShowMsgDialog", [](QWidget *d) {
        EXPECT_EQ(d->windowTitle(), QString::fromUtf8("Bestätigen"));
        EXPECT_EQ(Child<QPushButton>(d, "btLeft")->text(), "&Ja");
        EXPECT_EQ(Child<QPushButton>(d, "btCenter")->text(), "&Nein");
        EXPECT_EQ(Child<QPushButton>(d, "btClose")->text(), "Abbrechen");
        d->close();
    });
    ShowMsgDialogAt(QPoint(20, 20), "Weiter?", 0, mdtConfirmYesNo, mbYes);

    AnswerModal("ShowMsgDialog", [](QWidget *d) {
        EXPECT_EQ(d->windowTitle(), "Information"); // timed dialogs: always this caption
        EXPECT_EQ(Child<QPushButton>(d, "btClose")->text(), QString::fromUtf8("&Schließen"));
        d->close();
    });
    ShowMsgDialogAt(QPoint(20, 20), "Gespeichert.", 3, mdtError);
}

TEST(ShowMsgDialogAt, ParentDeletedWhileOpenEndsWithCancel)
{
    // The dialog belongs to the active window; deleting that window while the
    // dialog runs takes the dialog along, which must not be deleted a second time.
    QWidget *parent = ShowActiveParent();
    ASSERT_EQ(QApplication::activeWindow(), parent);
    const QPointer<QWidget> watched(parent);

    AnswerModal("ShowMsgDialog", [parent](QWidget *dialog) {
        EXPECT_EQ(dialog->parentWidget(), parent);
        delete parent;
    });
    EXPECT_EQ(ShowMsgDialogAt(QPoint(20, 20), "Saved.", 4, mdtInformation), mrCancel);
    EXPECT_TRUE(watched.isNull());
    delete watched.data();
}

} // namespace
