#pragma once

// Window placement and scaling helpers shared by every dialog.
//
// Lengths are device-independent pixels: Qt already multiplies them by the
// screen's device pixel ratio. The "pixels per inch" of a monitor is the
// screen's logical DPI, so the 120 % rule below only enlarges glyphs when the
// user asked for bigger text on top of that.
//
// The arithmetic (placement, line splitting, the scaling rule) is available as
// pure functions that take a work area, font metrics or a measuring function,
// so it can be checked without a window system.

#include <QImage>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QFont;
class QFontMetrics;
class QScreen;
class QWidget;

namespace dialogs {

// The library's "no position given" point: dialogs are centred.
inline constexpr QPoint DefaultDialogPos{-1, -1};

// On which monitor a centred dialog is shown.
enum TDefaultMonitor { dmDesktop, dmPrimary, dmMainForm, dmActiveForm };

// ---------------------------------------------------------------------------
// Arithmetic
// ---------------------------------------------------------------------------

// a * b / c rounded to the nearest integer, halves away from zero.
// c == 0 gives -1 (the classic multiply-divide's failure value).
int MulDiv(int a, int b, int c);

// N(100 * target / source); 0 when source is not positive.
int ScalingPercentage(int sourcePpi, int targetPpi);

// True when the percentage is 120 or more: with source 96, targets of 115
// pixels per inch and more are scaled.
bool ScalingApplies(int sourcePpi, int targetPpi);

// N(length * target / source).
int ScaleLength(int length, int sourcePpi, int targetPpi);
QSize ScaleSize(const QSize &size, int sourcePpi, int targetPpi);

// ---------------------------------------------------------------------------
// Placement
// ---------------------------------------------------------------------------

// Moves (x, y) so that a window of width x height fits into workArea. The
// work area's right and bottom edges are exclusive (left + width,
// top + height). Margins: 20 pixels left, right and top, 30 at the bottom;
// a window that ends exactly on an edge stays.
void FitToWorkArea(int &x, int &y, int width, int height, const QRect &workArea);

// As above, with the work area of the screen that contains (x, y), or of the
// nearest screen when none does.
void FitToWorkArea(int &x, int &y, int width, int height);

// The screen containing the point, else the one nearest to it (never null
// while the application has a screen).
QScreen *ScreenAt(const QPoint &point);

// The available geometry (screen minus task bars and docks) of ScreenAt().
QRect WorkAreaAt(const QPoint &point);

// A point with a negative X or a negative Y means "centre the window".
bool IsCentredPos(const QPoint &pos);

// Where SetFormPos puts a window of the given (frame) size: std::nullopt when
// it is to be centred, else the top-left corner after the Above shift and
// FitToWorkArea with the work area that workAreaAt gives for the shifted point.
std::optional<QPoint> FormPosition(const QPoint &pos, bool above, const QSize &windowSize,
                                   const std::function<QRect(const QPoint &)> &workAreaAt);

// The size of the whole window: its frame size once it has one, otherwise the
// widget's own size (an unmapped window has no frame yet).
QSize WindowFrameSize(const QWidget *window);

// Moves the window so that it fits into the work area of its screen.
void AdjustFormPos(QWidget *window);

// Places the window at pos (its bottom edge at pos when above is set) and
// moves it into the work area; a negative coordinate centres it on the screen
// chosen by monitor. The window should have its final size already.
void SetFormPos(QWidget *window, const QPoint &pos, bool above = false,
                TDefaultMonitor monitor = dmActiveForm);

// The screen on which a centred window is shown for the given choice.
QScreen *ScreenForMonitor(TDefaultMonitor monitor);

// Centres the window in the available area of the screen chosen by monitor.
void CentreOnMonitor(QWidget *window, TDefaultMonitor monitor = dmActiveForm);

// The bottom-left (PosBelowControl) or top-right (PosRightOfControl) corner of
// the control in screen coordinates, plus offset. A control without a parent
// keeps its own coordinates.
QPoint PosBelowControl(const QWidget *control, const QPoint &offset = QPoint(0, 0));
QPoint PosRightOfControl(const QWidget *control, const QPoint &offset = QPoint(0, 0));

// ---------------------------------------------------------------------------
// Text measurement (lines are separated by CR LF only)
// ---------------------------------------------------------------------------

// Splits at every CR LF; the piece after the last CR LF is the last line
// (empty when the text ends in CR LF). Lone CR and LF stay inside lines.
QStringList SplitTextLines(const QString &text);

// 1 plus the number of CR LF pairs.
int TextLineCount(const QString &text);

using LineWidthFunction = std::function<int(const QString &line)>;

// The largest width of the text's lines; 0 for an empty text.
int MaxTextWidth(const QString &text, const LineWidthFunction &lineWidth);
int MaxTextWidth(const QString &text, const QFontMetrics &metrics);
// With the widget's current font.
int MaxTextWidth(const QString &text, const QWidget *surface);
int MaxTextWidthForFont(const QString &text, const QFont &font);

// Width: MaxTextWidth; height: lineHeight * TextLineCount.
QSize TextExtent(const QString &text, const LineWidthFunction &lineWidth, int lineHeight);
// lineHeight is the height of the text "X" in the font.
QSize TextExtentForFont(const QString &text, const QFont &font);

// ---------------------------------------------------------------------------
// Scaling of glyphs and icon lists drawn for 96 pixels per inch
// ---------------------------------------------------------------------------

// The resolution the dialogs' layouts and pictures are drawn for.
inline constexpr int DesignPixelsPerInch = 96;

// The logical pixels per inch of the screen that shows (or will show) the
// widget; of the primary screen for a null widget.
int MonitorPixelsPerInch(const QWidget *widget);
// The pixels per inch of the screen that a dialog placed at pos appears on:
// ScreenAt(pos) for a position, the widget's screen when pos means "centred".
int PixelsPerInchAt(const QPoint &pos, const QWidget *widget);

// The application-wide scaling switch: dialogs scale themselves after
// construction only while it is 0 (the default).
int ScalingSwitch();
void SetScalingSwitch(int value);

// An image list: pictures of one size, in order. Transparency is each
// picture's alpha channel, which plays the role of the mask.
class TImageList
{
public:
    TImageList() = default;
    TImageList(int width, int height) : FSize(width, height) {}

    QSize ImageSize() const { return FSize; }
    // Changing the size empties the list.
    void SetImageSize(const QSize &size);
    int Count() const { return int(FImages.size()); }
    // Appends the picture, stretched to the list's size when it differs.
    void Add(const QImage &image);
    const QImage &Image(int index) const { return FImages.at(index); }
    void Clear() { FImages.clear(); }

private:
    QSize FSize;
    QList<QImage> FImages;
};

// Stretches image to size (transparency stretched alike); a null image for an
// empty size.
QImage StretchImage(const QImage &image, const QSize &size);

// Push buttons and tool buttons with an icon get their glyph stretched by the
// scaling rule; every other control is left alone.
void ScaleGlyph(QWidget *control, int sourcePpi, int targetPpi);

// ScaleGlyph for every child of the container, recursively.
void ScaleControlGlyphs(QWidget *container, int sourcePpi, int targetPpi);

// Rebuilds the list at the scaled size, same pictures in the same order.
void ScaleImageList(TImageList &list, int sourcePpi, int targetPpi);

} // namespace dialogs
