#include "dialogs/MsgDialogs.h"

#include "ModalAnswer.h"

#include "foundation/LangUtils.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

using namespace foundation;
using namespace dialogs;

namespace {

// --- rules ---------------------------------------------------------------------

struct DefaultButtonCase
{
    int buttons;
    TMsgDlgBtn expected;
};

class DefaultButtonTest : public ::testing::TestWithParam<DefaultButtonCase>
{
};

TEST_P(DefaultButtonTest, OkThenYesThenRetry)
{
    const DefaultButtonCase c = GetParam();
    EXPECT_EQ(DefaultButtonFor(TMsgDlgButtons(c.buttons)), c.expected);
}

constexpr DefaultButtonCase DefaultButtonCases[] = {
    {mbOK, mbOK},
    {mbOK | mbCancel, mbOK},
    {mbYes | mbNo | mbOK, mbOK},
    {mbYes | mbNo, mbYes},
    {mbYes | mbNo | mbCancel, mbYes},
    {mbRetry | mbCancel, mbRetry},
    {mbAbort | mbIgnore, mbRetry},
};
INSTANTIATE_TEST_SUITE_P(Sets, DefaultButtonTest, ::testing::ValuesIn(DefaultButtonCases));

TEST(MessageBoxPosition, CentredOnlyWhenBothCoordinatesAreNegative)
{
    const QRect area(0, 0, 1920, 1040);
    const QSize box(300, 150);
    EXPECT_FALSE(MessageBoxPosition(QPoint(-1, -1), box, area));
    EXPECT_FALSE(MessageBoxPosition(QPoint(-5, -200), box, area));
    EXPECT_EQ(MessageBoxPosition(QPoint(-1, 200), box, area), QPoint(20, 200));
    EXPECT_EQ(MessageBoxPosition(QPoint(300, -1), box, area), QPoint(300, 20));
    EXPECT_EQ(MessageBoxPosition(QPoint(300, 200), box, area), QPoint(300, 200));
    // Near the right and bottom edges the box moves inwards by the margins.
    EXPECT_EQ(MessageBoxPosition(QPoint(1800, 1000), box, area), QPoint(1600, 860));
}

TEST(MessageBoxWidthForTitle, WidensToTitlePlus50)
{
    EXPECT_EQ(MessageBoxWidthForTitle(200, 300), 350);
    EXPECT_EQ(MessageBoxWidthForTitle(349, 300), 350);
    EXPECT_EQ(MessageBoxWidthForTitle(350, 300), 350);
    EXPECT_EQ(MessageBoxWidthForTitle(400, 300), 400);
}

TEST(ModalResultOf, StandardResults)
{
    EXPECT_EQ(ModalResultOf(mbOK), mrOk);
    EXPECT_EQ(ModalResultOf(mbCancel), mrCancel);
    EXPECT_EQ(ModalResultOf(mbRetry), mrRetry);
    EXPECT_EQ(ModalResultOf(mbYes), mrYes);
    EXPECT_EQ(ModalResultOf(mbNo), mrNo);
}

TEST(MessageTypeCaption, StandardCaptions)
{
    EXPECT_EQ(MessageTypeCaption(mtWarning), "Warning");
    EXPECT_EQ(MessageTypeCaption(mtError), "Error");
    EXPECT_EQ(MessageTypeCaption(mtInformation), "Information");
    EXPECT_EQ(MessageTypeCaption(mtConfirmation), "Confirm");
}

// --- the message box on the offscreen platform ------------------------------------------

QRect WorkArea()
{
    return QGuiApplication::primaryScreen()->availableGeometry();
}

QPushButton *OkButton(QWidget *box)
{
    auto *ok = qobject_cast<QPushButton *>(
        static_cast<QMessageBox *>(box)->button(QMessageBox::Ok));
    EXPECT_NE(ok, nullptr);
    return ok;
}

TEST(ErrorDialogAt, PlacedAtThePointOnTopWithStandardCaption)
{
    const QPoint point = WorkArea().topLeft() + QPoint(30, 40);
    AnswerModal("MessageDialog", [point](QWidget *box) {
        EXPECT_EQ(box->pos(), point);
        EXPECT_EQ(box->windowTitle(), "Error");
        EXPECT_TRUE(box->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        EXPECT_EQ(static_cast<QMessageBox *>(box)->icon(), QMessageBox::Critical);
        EXPECT_EQ(static_cast<QMessageBox *>(box)->defaultButton(), OkButton(box));
        OkButton(box)->click();
    });
    EXPECT_EQ(ErrorDialogAt(point, "The file cannot be read."), mrOk);
}

TEST(InfoDialogAt, OneNegativeCoordinateIsFittedNotCentred)
{
    const QRect area = WorkArea();
    AnswerModal("MessageDialog", [area](QWidget *box) {
        EXPECT_EQ(box->pos(), QPoint(area.x() + 20, area.y() + 50));
        EXPECT_EQ(box->windowTitle(), "Information");
        OkButton(box)->click();
    });
    EXPECT_EQ(InfoDialogAt(QPoint(-1, area.y() + 50), "One profile only."), mrOk);

    AnswerModal("MessageDialog", [area](QWidget *box) {
        EXPECT_EQ(box->pos(), QPoint(area.x() + 60, area.y() + 20));
        OkButton(box)->click();
    });
    InfoDialogAt(QPoint(area.x() + 60, -1), "One profile only.");
}

TEST(InfoDialogAt, NearTheCornerMovesInwards)
{
    const QRect area = WorkArea();
    AnswerModal("MessageDialog", [area](QWidget *box) {
        const QSize size = box->frameGeometry().size();
        EXPECT_EQ(box->pos(), QPoint(area.x() + area.width() - size.width() - 20,
                                     area.y() + area.height() - size.height() - 30));
        OkButton(box)->click();
    });
    InfoDialogAt(area.bottomRight(), "Done.");
}

TEST(InfoDialog, CentredOnTheScreen)
{
    const QRect area = WorkArea();
    AnswerModal("MessageDialog", [area](QWidget *box) {
        const QPoint centre = box->frameGeometry().center();
        EXPECT_LE(qAbs(centre.x() - area.center().x()), 1);
        EXPECT_LE(qAbs(centre.y() - area.center().y()), 1);
        OkButton(box)->click();
    });
    InfoDialog("Centred.");
}

class LongTitleTest : public ::testing::TestWithParam<int>
{
};

TEST_P(LongTitleTest, WidensTheBoxToTheTitlePlus50)
{
    // Twice: wider than the message; eight times: wider than the screen,
    // beyond the box's own allowance for its title.
    const QString title = QString("A title much longer than the short message ").repeated(GetParam());
    const QRect area = WorkArea();
    AnswerModal("MessageDialog", [title, area](QWidget *box) {
        QApplication::processEvents(); // pending layout requests resize the box
        const int wanted = box->fontMetrics().horizontalAdvance(title) + 50;
        EXPECT_EQ(box->windowTitle(), title);
        EXPECT_GE(box->width(), wanted);
        if (wanted > area.width()) { // placed with its final width
            EXPECT_EQ(box->x(), area.x() + 20);
        }
        OkButton(box)->click();
    });
    InfoDialogAt(area.topLeft() + QPoint(10, 10), title, "Short.");
}

INSTANTIATE_TEST_SUITE_P(Titles, LongTitleTest, ::testing::Values(2, 8));

TEST(MessageDialogAt, ExplicitDefaultButtonAndResult)
{
    AnswerModal("MessageDialog", [](QWidget *w) {
        auto *box = static_cast<QMessageBox *>(w);
        QAbstractButton *no = box->button(QMessageBox::No);
        ASSERT_NE(no, nullptr);
        EXPECT_EQ(box->defaultButton(), no);
        PressKey(box, Qt::Key_Return);
    });
    EXPECT_EQ(MessageDialogAt("Question", "Go on?", mtConfirmation, mbYes | mbNo, mbNo,
                              QPoint(50, 50)),
              mrNo);

    AnswerModal("MessageDialog", [](QWidget *w) {
        auto *box = static_cast<QMessageBox *>(w);
        EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Retry));
        box->button(QMessageBox::Cancel)->click();
    });
    EXPECT_EQ(MessageDialogAt(QString(), "Try again?", mtWarning, mbRetry | mbCancel, 0,
                              QPoint(50, 50)),
              mrCancel);
}

TEST(MessageDialogAt, ParentDeletedWhileOpenEndsWithCancel)
{
    // The box belongs to the active window; deleting that window while the
    // box runs takes the box along, which must not be deleted a second time.
    QWidget *parent = ShowActiveParent();
    ASSERT_EQ(QApplication::activeWindow(), parent);
    const QPointer<QWidget> watched(parent);

    AnswerModal("MessageDialog", [parent](QWidget *box) {
        EXPECT_EQ(box->parentWidget(), parent);
        delete parent;
    });
    EXPECT_EQ(MessageDialogAt("Question", "Go on?", mtConfirmation, mbYes | mbNo, 0,
                              QPoint(50, 50)),
              mrCancel);
    EXPECT_TRUE(watched.isNull());
    delete watched.data();
}

// The German catalogue is compiled next to the test program.
class GermanMessageBox : public ::testing::Test
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

TEST_F(GermanMessageBox, CaptionAndButtonsComeFromTheDialogsDomain)
{
    AnswerModal("MessageDialog", [](QWidget *w) {
        auto *box = static_cast<QMessageBox *>(w);
        EXPECT_EQ(box->windowTitle(), QString::fromUtf8("Bestätigen"));
        EXPECT_EQ(box->button(QMessageBox::Yes)->text(), "&Ja");
        EXPECT_EQ(box->button(QMessageBox::No)->text(), "&Nein");
        box->button(QMessageBox::Yes)->click();
    });
    EXPECT_EQ(MessageDialogAt(QString(), "Weiter?", mtConfirmation, mbYes | mbNo, 0, QPoint(50, 50)),
              mrYes);

    AnswerModal("MessageDialog", [](QWidget *box) {
        EXPECT_EQ(box->windowTitle(), "Fehler");
        OkButton(box)->click();
    });
    ErrorDialogAt(QPoint(50, 50), "Die Datei fehlt.");
}

// The French catalogue is compiled next to the test program too.
class FrenchMessageBox : public GermanMessageBox
{
protected:
    void SetUp() override { UseLanguage("fr"); }
};

TEST_F(FrenchMessageBox, CaptionAndButtonsComeFromTheDialogsDomain)
{
    AnswerModal("MessageDialog", [](QWidget *w) {
        auto *box = static_cast<QMessageBox *>(w);
        EXPECT_EQ(box->windowTitle(), "Confirmation");
        EXPECT_EQ(box->button(QMessageBox::Yes)->text(), "&Oui");
        EXPECT_EQ(box->button(QMessageBox::No)->text(), "&Non");
        EXPECT_EQ(box->button(QMessageBox::YesToAll)->text(), "Oui pour to&ut");
        box->button(QMessageBox::No)->click();
    });
    EXPECT_EQ(MessageDialogAt(QString(), "Continuer\u00a0?", mtConfirmation,
                              mbYes | mbNo | mbYesToAll, 0, QPoint(50, 50)),
              mrNo);
}

TEST(AnswerModal, EndsAnUnansweredBoxThatEscapeCannotClose)
{
    // Retry and Ignore give the box no escape button, so its close box does
    // nothing; the test must still end with a failure rather than hang.
    EXPECT_NONFATAL_FAILURE(
        {
            AnswerModal("NoSuchDialog", [](QWidget *) {}, 200);
            MessageDialogAt(QString(), "Stuck?", mtWarning, mbRetry | mbIgnore, 0, QPoint(50, 50));
        },
        "no modal dialog named");
}

} // namespace
