#include "dialogs/WinUtils.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QWidget>

#include <gtest/gtest.h>

using namespace dialogs;

using namespace dialogs;

namespace {

// --- FitToWorkArea ------------------------------------------------------------

struct FitCase
{
    int x, y, width, height;
    int expectedX, expectedY;
};

class FitToWorkAreaTest : public ::testing::TestWithParam<FitCase>
{
};

TEST_P(FitToWorkAreaTest, MovesWindowInsideWithMargins)
{
    const FitCase c = GetParam();
    int x = c.x;
    int y = c.y;
    FitToWorkArea(x, y, c.width, c.height, QRect(0, 0, 1920, 1040));
    EXPECT_EQ(x, c.expectedX);
    EXPECT_EQ(y, c.expectedY);
}

constexpr FitCase FitCases[] = {
    {1600, 100, 400, 300, 1500, 100}, // past the right edge: 1920 - 400 - 20
    {100, 800, 400, 300, 100, 710},   // past the bottom: 1040 - 300 - 30
    {-50, 100, 400, 300, 20, 100},    // left of the area
    {100, -10, 400, 300, 100, 20},    // above the area
    {1520, 100, 400, 300, 1520, 100}, // ends exactly on the right edge
    {100, 740, 400, 300, 100, 740},   // ends exactly on the bottom edge
    {1600, 800, 400, 300, 1500, 710}, // both corrections
    {0, 0, 2000, 300, 20, 0},         // wider than the area
    {900, 0, 2000, 300, 20, 0},
    {-300, 0, 2000, 300, 20, 0},
    {0, 500, 400, 1100, 0, 20},       // taller than the area
};
INSTANTIATE_TEST_SUITE_P(Examples, FitToWorkAreaTest, ::testing::ValuesIn(FitCases));

TEST(FitToWorkArea, UsesTheEdgesOfAnAreaAwayFromTheOrigin)
{
    // A second monitor right of the first, below a 40-pixel top bar.
    const QRect area(1920, 40, 1280, 984);
    int x = 3100, y = 10;
    FitToWorkArea(x, y, 400, 300, area);
    EXPECT_EQ(x, 1920 + 1280 - 400 - 20);
    EXPECT_EQ(y, 40 + 20);

    x = 1800;
    y = 900;
    FitToWorkArea(x, y, 400, 300, area);
    EXPECT_EQ(x, 1920 + 20);
    EXPECT_EQ(y, 40 + 984 - 300 - 30);
}

// --- SetFormPos arithmetic -----------------------------------------------------

TEST(FormPosition, NegativeCoordinateMeansCentred)
{
    const auto area = [](const QPoint &) { return QRect(0, 0, 1920, 1040); };
    EXPECT_FALSE(FormPosition(QPoint(-1, -1), false, QSize(400, 300), area));
    EXPECT_FALSE(FormPosition(QPoint(-1, 100), false, QSize(400, 300), area));
    EXPECT_FALSE(FormPosition(QPoint(100, -1), false, QSize(400, 300), area));
    EXPECT_FALSE(FormPosition(QPoint(100, -1), true, QSize(400, 300), area));
}

TEST(FormPosition, OriginStaysWhenTheWorkAreaStartsThere)
{
    const auto area = [](const QPoint &) { return QRect(0, 0, 1920, 1040); };
    EXPECT_EQ(FormPosition(QPoint(0, 0), false, QSize(400, 300), area), QPoint(0, 0));

    const auto belowBar = [](const QPoint &) { return QRect(0, 40, 1920, 1000); };
    EXPECT_EQ(FormPosition(QPoint(0, 0), false, QSize(400, 300), belowBar), QPoint(0, 60));
}

TEST(FormPosition, AbovePutsTheBottomEdgeAtThePoint)
{
    QPoint asked;
    const auto area = [&asked](const QPoint &p) {
        asked = p;
        return QRect(0, 0, 1920, 1040);
    };
    EXPECT_EQ(FormPosition(QPoint(100, 500), true, QSize(400, 200), area), QPoint(100, 300));
    // The work area is looked up for the shifted point.
    EXPECT_EQ(asked, QPoint(100, 300));

    // Shifted above the top: the fitting moves it back down.
    EXPECT_EQ(FormPosition(QPoint(100, 50), true, QSize(400, 200), area), QPoint(100, 20));
}

// --- line splitting and counting -------------------------------------------------

struct LineCountCase
{
    const char *text;
    int lines;
};

class TextLineCountTest : public ::testing::TestWithParam<LineCountCase>
{
};

TEST_P(TextLineCountTest, CountsCrLfOnly)
{
    const LineCountCase c = GetParam();
    const QString text = QString::fromLatin1(c.text);
    EXPECT_EQ(TextLineCount(text), c.lines) << c.text;
    EXPECT_EQ(SplitTextLines(text).size(), c.lines) << c.text;
}

constexpr LineCountCase LineCountCases[] = {
    {"", 1},
    {"one", 1},
    {"one\r\ntwo", 2},
    {"one\r\n", 2},
    {"\r\n\r\n", 3},
    {"one\rtwo", 1},
    {"one\ntwo", 1},
    {"one\n\rtwo", 1},
    {"a\r\nb\r\nc", 3},
};
INSTANTIATE_TEST_SUITE_P(Texts, TextLineCountTest, ::testing::ValuesIn(LineCountCases));

TEST(SplitTextLines, KeepsTheEmptyLastLineAndLoneBreaks)
{
    EXPECT_EQ(SplitTextLines("a\r\n"), QStringList({"a", ""}));
    EXPECT_EQ(SplitTextLines("a\nb\r\nc\r"), QStringList({"a\nb", "c\r"}));
}

// --- measuring ----------------------------------------------------------------

// Ten pixels per character, thirty for a W.
int FakeWidth(const QString &line)
{
    int width = 0;
    for (QChar c : line)
        width += c == QLatin1Char('W') ? 30 : 10;
    return width;
}

TEST(MaxTextWidth, TakesTheWidestLineIncludingASingleLetterLast)
{
    EXPECT_EQ(MaxTextWidth(QString(), FakeWidth), 0);
    EXPECT_EQ(MaxTextWidth("ab\r\nW", FakeWidth), 30);
    EXPECT_EQ(MaxTextWidth("abcd\r\nW", FakeWidth), 40);
    // A lone LF is part of the line and measured with it.
    EXPECT_EQ(MaxTextWidth("ab\ncd", FakeWidth), 50);
}

TEST(MaxTextWidth, MeasuresWithTheFont)
{
    QFont font = QGuiApplication::font();
    font.setPixelSize(20);
    const QFontMetrics metrics(font);
    ASSERT_GT(metrics.horizontalAdvance("W"), metrics.horizontalAdvance("i"));
    EXPECT_EQ(MaxTextWidthForFont("i\r\nW", font), metrics.horizontalAdvance("W"));
    EXPECT_EQ(MaxTextWidthForFont("iii iii\r\nW", font), metrics.horizontalAdvance("iii iii"));

    QWidget surface;
    surface.setFont(font);
    EXPECT_EQ(MaxTextWidth("i\r\nW", &surface), metrics.horizontalAdvance("W"));
}

TEST(TextExtent, HeightIsLineHeightTimesLineCount)
{
    EXPECT_EQ(TextExtent("abc\r\nW\r\n", FakeWidth, 13), QSize(30, 39));
    EXPECT_EQ(TextExtent(QString(), FakeWidth, 13), QSize(0, 13));

    QFont font = QGuiApplication::font();
    font.setPixelSize(16);
    const QFontMetrics metrics(font);
    const QSize extent = TextExtentForFont("X\r\nXX", font);
    EXPECT_EQ(extent.width(), metrics.horizontalAdvance("XX"));
    EXPECT_EQ(extent.height(), 2 * metrics.height());
}

// --- the scaling rule -------------------------------------------------------------

TEST(MulDiv, RoundsHalvesAwayFromZero)
{
    EXPECT_EQ(MulDiv(3, 1, 2), 2);
    EXPECT_EQ(MulDiv(-3, 1, 2), -2);
    EXPECT_EQ(MulDiv(5, 2, 4), 3);
    EXPECT_EQ(MulDiv(7, 1, 3), 2);
    EXPECT_EQ(MulDiv(1, 1, 0), -1);
    EXPECT_EQ(MulDiv(2000000000, 3, 2), -1); // overflow
    EXPECT_EQ(MulDiv(2000000000, 3, 4), 1500000000);
}

struct ScalingCase
{
    int target;
    bool scaled;
    int scaledThousand; // N(1000 * target / 96)
};

class ScalingRuleTest : public ::testing::TestWithParam<ScalingCase>
{
};

TEST_P(ScalingRuleTest, ScalesFrom120Percent)
{
    const ScalingCase c = GetParam();
    EXPECT_EQ(ScalingApplies(96, c.target), c.scaled) << c.target;
    EXPECT_EQ(ScaleLength(1000, 96, c.target), c.scaledThousand);
}

constexpr ScalingCase ScalingCases[] = {
    {96, false, 1000},  {110, false, 1146}, {114, false, 1188}, {115, true, 1198},
    {120, true, 1250},  {144, true, 1500},  {192, true, 2000},
};
INSTANTIATE_TEST_SUITE_P(Targets, ScalingRuleTest, ::testing::ValuesIn(ScalingCases));

TEST(ScalingRule, PercentageOfSourceAndTarget)
{
    EXPECT_EQ(ScalingPercentage(96, 114), 119);
    EXPECT_EQ(ScalingPercentage(96, 115), 120);
    EXPECT_EQ(ScalingPercentage(0, 115), 0);
    EXPECT_FALSE(ScalingApplies(0, 115));
    EXPECT_TRUE(ScalingApplies(120, 144));
}

QImage Filled(const QColor &color, int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return image;
}

TEST(ScaleImageList, EnlargesEveryImageKeepingOrder)
{
    TImageList list(32, 32);
    list.Add(Filled(Qt::red, 32));
    list.Add(Filled(Qt::green, 32));
    list.Add(Filled(Qt::transparent, 32));

    ScaleImageList(list, 96, 144);

    ASSERT_EQ(list.ImageSize(), QSize(48, 48));
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Image(0).size(), QSize(48, 48));
    EXPECT_EQ(list.Image(0).pixelColor(24, 24), QColor(Qt::red));
    EXPECT_EQ(list.Image(1).pixelColor(47, 47), QColor(Qt::green));
    // Transparency (the mask) is stretched alike.
    EXPECT_EQ(list.Image(2).pixelColor(24, 24).alpha(), 0);
}

TEST(ScaleImageList, LeavesTheListAloneBelow120Percent)
{
    TImageList list(32, 32);
    list.Add(Filled(Qt::red, 32));
    ScaleImageList(list, 96, 114);
    EXPECT_EQ(list.ImageSize(), QSize(32, 32));
    EXPECT_EQ(list.Count(), 1);
}

TEST(ImageList, ChangingTheSizeEmptiesIt)
{
    TImageList list(16, 16);
    list.Add(Filled(Qt::red, 32)); // stretched to the list's size
    EXPECT_EQ(list.Image(0).size(), QSize(16, 16));
    list.SetImageSize(QSize(24, 24));
    EXPECT_EQ(list.Count(), 0);
}

QIcon FilledIcon(int size)
{
    return QIcon(QPixmap::fromImage(Filled(Qt::blue, size)));
}

TEST(ScaleGlyph, StretchesButtonGlyphsOnly)
{
    QWidget window;
    auto *push = new QPushButton(&window);
    push->setIcon(FilledIcon(16));
    push->setIconSize(QSize(16, 16));
    auto *tool = new QToolButton(&window);
    tool->setIcon(FilledIcon(16));
    tool->setIconSize(QSize(16, 16));
    auto *check = new QCheckBox(&window);
    check->setIcon(FilledIcon(16));
    check->setIconSize(QSize(16, 16));
    auto *plain = new QPushButton(&window); // no glyph

    for (QWidget *w : {static_cast<QWidget *>(push), static_cast<QWidget *>(tool),
                       static_cast<QWidget *>(check), static_cast<QWidget *>(plain)})
        ScaleGlyph(w, 96, 144);
    ScaleGlyph(new QLabel(&window), 96, 144);
    ScaleGlyph(new QLineEdit(&window), 96, 144);

    EXPECT_EQ(push->iconSize(), QSize(24, 24));
    EXPECT_EQ(push->icon().availableSizes(), QList<QSize>({QSize(24, 24)}));
    EXPECT_EQ(tool->iconSize(), QSize(24, 24));
    EXPECT_EQ(check->iconSize(), QSize(16, 16));
    EXPECT_TRUE(plain->icon().isNull());
}

TEST(ScaleControlGlyphs, ScalesEveryNestedButtonOnce)
{
    QWidget window;
    auto *direct = new QPushButton(&window);
    direct->setIcon(FilledIcon(16));
    direct->setIconSize(QSize(16, 16));
    auto *frame = new QFrame(&window);
    auto *inner = new QFrame(frame);
    auto *nested = new QToolButton(inner);
    nested->setIcon(FilledIcon(16));
    nested->setIconSize(QSize(16, 16));

    ScaleControlGlyphs(&window, 96, 192);
    EXPECT_EQ(direct->iconSize(), QSize(32, 32));
    EXPECT_EQ(nested->iconSize(), QSize(32, 32));

    ScaleControlGlyphs(&window, 96, 110);
    EXPECT_EQ(nested->iconSize(), QSize(32, 32));
}

// --- window placement on the (offscreen) screen --------------------------------------

TEST(PosBelowControl, ConvertsThroughTheParent)
{
    QWidget window;
    window.setGeometry(100, 200, 1000, 300);
    auto *button = new QPushButton(&window);
    button->setGeometry(690, 15, 80, 26);

    EXPECT_EQ(PosBelowControl(button), QPoint(790, 241));
    EXPECT_EQ(PosBelowControl(button, QPoint(5, -3)), QPoint(795, 238));
    EXPECT_EQ(PosRightOfControl(button), QPoint(870, 215));
    EXPECT_EQ(PosRightOfControl(button, QPoint(-10, 4)), QPoint(860, 219));
}

TEST(PosBelowControl, ControlWithoutParentKeepsItsCoordinates)
{
    QWidget lone;
    lone.setGeometry(40, 50, 100, 20);
    EXPECT_EQ(PosBelowControl(&lone), QPoint(40, 70));
    EXPECT_EQ(PosRightOfControl(&lone), QPoint(140, 50));
}

QRect PrimaryWorkArea()
{
    return QGuiApplication::primaryScreen()->availableGeometry();
}

TEST(SetFormPos, PlacesAtThePointOrCentres)
{
    const QRect area = PrimaryWorkArea();
    QWidget window;
    window.resize(200, 100);

    SetFormPos(&window, area.topLeft() + QPoint(30, 40));
    EXPECT_EQ(window.pos(), area.topLeft() + QPoint(30, 40));

    SetFormPos(&window, area.topLeft() + QPoint(30, 140), true);
    EXPECT_EQ(window.pos(), area.topLeft() + QPoint(30, 40));

    const QPoint centred(area.x() + (area.width() - 200) / 2,
                         area.y() + (area.height() - 100) / 2);
    for (const QPoint &pos : {QPoint(-1, -1), QPoint(-1, 10), QPoint(10, -1)}) {
        window.move(0, 0);
        SetFormPos(&window, pos, false, dmPrimary);
        EXPECT_EQ(window.pos(), centred);
    }

    // Near the bottom-right corner: moved inwards by the margins.
    SetFormPos(&window, area.bottomRight());
    EXPECT_EQ(window.pos(), QPoint(area.x() + area.width() - 220, area.y() + area.height() - 130));
}

TEST(AdjustFormPos, MovesTheWindowIntoItsWorkArea)
{
    const QRect area = PrimaryWorkArea();
    QWidget window;
    window.setGeometry(area.x() + area.width() - 50, area.y() - 5, 200, 100);
    AdjustFormPos(&window);
    EXPECT_EQ(window.pos(), QPoint(area.x() + area.width() - 220, area.y() + 20));
}

TEST(WorkAreaAt, FallsBackToTheNearestScreen)
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(WorkAreaAt(screen.topLeft() - QPoint(5000, 5000)), PrimaryWorkArea());
    EXPECT_EQ(WorkAreaAt(screen.center()), PrimaryWorkArea());
}

TEST(ScalingSwitch, IsZeroUnlessSet)
{
    EXPECT_EQ(ScalingSwitch(), 0);
    SetScalingSwitch(3);
    EXPECT_EQ(ScalingSwitch(), 3);
    SetScalingSwitch(0);
}

} // namespace
