#include "dialogs/WinUtils.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMainWindow>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QWidget>

#include <climits>
#include <cstdlib>

namespace dialogs {

namespace {

constexpr int MarginLeft = 20;
constexpr int MarginRight = 20;
constexpr int MarginTop = 20;
constexpr int MarginBottom = 30;

const char *const ScalingSwitchProperty = "mpScalingSwitch";

qint64 SquaredDistance(const QRect &rect, const QPoint &point)
{
    const qint64 dx = point.x() < rect.left() ? rect.left() - point.x()
                      : point.x() > rect.right() ? point.x() - rect.right()
                                                 : 0;
    const qint64 dy = point.y() < rect.top() ? rect.top() - point.y()
                      : point.y() > rect.bottom() ? point.y() - rect.bottom()
                                                  : 0;
    return dx * dx + dy * dy;
}

} // namespace

int MulDiv(int a, int b, int c)
{
    if (c == 0)
        return -1;
    const qint64 product = qint64(a) * b;
    const bool negative = (product < 0) != (c < 0);
    const qint64 absProduct = product < 0 ? -product : product;
    const qint64 absDivisor = c < 0 ? -qint64(c) : qint64(c);
    const qint64 quotient = (absProduct + absDivisor / 2) / absDivisor;
    const qint64 result = negative ? -quotient : quotient;
    if (result > INT_MAX || result < INT_MIN)
        return -1;
    return int(result);
}

int ScalingPercentage(int sourcePpi, int targetPpi)
{
    if (sourcePpi <= 0)
        return 0;
    return MulDiv(100, targetPpi, sourcePpi);
}

bool ScalingApplies(int sourcePpi, int targetPpi)
{
    return ScalingPercentage(sourcePpi, targetPpi) >= 120;
}

int ScaleLength(int length, int sourcePpi, int targetPpi)
{
    return MulDiv(length, targetPpi, sourcePpi);
}

QSize ScaleSize(const QSize &size, int sourcePpi, int targetPpi)
{
    return QSize(ScaleLength(size.width(), sourcePpi, targetPpi),
                 ScaleLength(size.height(), sourcePpi, targetPpi));
}

// --- placement --------------------------------------------------------------

void FitToWorkArea(int &x, int &y, int width, int height, const QRect &workArea)
{
    const int right = workArea.x() + workArea.width();
    const int bottom = workArea.y() + workArea.height();
    if (x + width > right)
        x = right - width - MarginRight;
    if (x < workArea.x())
        x = workArea.x() + MarginLeft;
    if (y + height > bottom)
        y = bottom - height - MarginBottom;
    if (y < workArea.y())
        y = workArea.y() + MarginTop;
}

void FitToWorkArea(int &x, int &y, int width, int height)
{
    FitToWorkArea(x, y, width, height, WorkAreaAt(QPoint(x, y)));
}

QScreen *ScreenAt(const QPoint &point)
{
    if (QScreen *screen = QGuiApplication::screenAt(point))
        return screen;
    QScreen *nearest = QGuiApplication::primaryScreen();
    qint64 best = -1;
    for (QScreen *screen : QGuiApplication::screens()) {
        const qint64 distance = SquaredDistance(screen->geometry(), point);
        if (best < 0 || distance < best) {
            best = distance;
            nearest = screen;
        }
    }
    return nearest;
}

QRect WorkAreaAt(const QPoint &point)
{
    QScreen *screen = ScreenAt(point);
    return screen ? screen->availableGeometry() : QRect();
}

bool IsCentredPos(const QPoint &pos)
{
    return pos.x() < 0 || pos.y() < 0;
}

std::optional<QPoint> FormPosition(const QPoint &pos, bool above, const QSize &windowSize,
                                   const std::function<QRect(const QPoint &)> &workAreaAt)
{
    if (IsCentredPos(pos))
        return std::nullopt;
    int x = pos.x();
    int y = pos.y();
    if (above)
        y -= windowSize.height();
    FitToWorkArea(x, y, windowSize.width(), windowSize.height(), workAreaAt(QPoint(x, y)));
    return QPoint(x, y);
}

QSize WindowFrameSize(const QWidget *window)
{
    const QSize frame = window->frameGeometry().size();
    return frame.isValid() && !frame.isEmpty() ? frame : window->size();
}

void AdjustFormPos(QWidget *window)
{
    const QSize size = WindowFrameSize(window);
    int x = window->x();
    int y = window->y();
    FitToWorkArea(x, y, size.width(), size.height());
    window->move(x, y);
}

void SetFormPos(QWidget *window, const QPoint &pos, bool above, TDefaultMonitor monitor)
{
    const std::optional<QPoint> topLeft =
        FormPosition(pos, above, WindowFrameSize(window), &WorkAreaAt);
    if (!topLeft) {
        CentreOnMonitor(window, monitor);
        return;
    }
    window->move(*topLeft);
}

QScreen *ScreenForMonitor(TDefaultMonitor monitor)
{
    QWidget *window = nullptr;
    if (monitor == dmActiveForm) {
        window = QApplication::activeWindow();
    } else if (monitor == dmMainForm) {
        for (QWidget *topLevel : QApplication::topLevelWidgets()) {
            if (qobject_cast<QMainWindow *>(topLevel) && topLevel->isVisible()) {
                window = topLevel;
                break;
            }
        }
    }
    if (window && window->screen())
        return window->screen();
    return QGuiApplication::primaryScreen();
}

void CentreOnMonitor(QWidget *window, TDefaultMonitor monitor)
{
    QScreen *screen = ScreenForMonitor(monitor);
    if (!screen)
        return;
    // The whole desktop's centre for dmDesktop; one screen's otherwise.
    const QRect area = monitor == dmDesktop ? screen->availableVirtualGeometry()
                                            : screen->availableGeometry();
    const QSize size = WindowFrameSize(window);
    window->move(area.x() + (area.width() - size.width()) / 2,
                 area.y() + (area.height() - size.height()) / 2);
}

static QPoint ControlCornerOnScreen(const QWidget *control, const QPoint &corner,
                                    const QPoint &offset)
{
    const QWidget *parent = control->isWindow() ? nullptr : control->parentWidget();
    const QPoint screenPoint = parent ? parent->mapToGlobal(corner) : corner;
    return screenPoint + offset;
}

QPoint PosBelowControl(const QWidget *control, const QPoint &offset)
{
    const QRect r = control->geometry();
    return ControlCornerOnScreen(control, QPoint(r.x(), r.y() + r.height()), offset);
}

QPoint PosRightOfControl(const QWidget *control, const QPoint &offset)
{
    const QRect r = control->geometry();
    return ControlCornerOnScreen(control, QPoint(r.x() + r.width(), r.y()), offset);
}

// --- text measurement ---------------------------------------------------------

QStringList SplitTextLines(const QString &text)
{
    return text.split(QStringLiteral("\r\n"), Qt::KeepEmptyParts);
}

int TextLineCount(const QString &text)
{
    return 1 + int(text.count(QStringLiteral("\r\n")));
}

int MaxTextWidth(const QString &text, const LineWidthFunction &lineWidth)
{
    if (text.isEmpty())
        return 0;
    int widest = 0;
    for (const QString &line : SplitTextLines(text))
        widest = qMax(widest, lineWidth(line));
    return widest;
}

int MaxTextWidth(const QString &text, const QFontMetrics &metrics)
{
    return MaxTextWidth(text, [&metrics](const QString &line) {
        return metrics.horizontalAdvance(line);
    });
}

int MaxTextWidth(const QString &text, const QWidget *surface)
{
    return MaxTextWidth(text, surface->fontMetrics());
}

int MaxTextWidthForFont(const QString &text, const QFont &font)
{
    return MaxTextWidth(text, QFontMetrics(font));
}

QSize TextExtent(const QString &text, const LineWidthFunction &lineWidth, int lineHeight)
{
    return QSize(MaxTextWidth(text, lineWidth), lineHeight * TextLineCount(text));
}

QSize TextExtentForFont(const QString &text, const QFont &font)
{
    const QFontMetrics metrics(font);
    // The extent of a one-character text is one line high: the font's height.
    return TextExtent(
        text, [&metrics](const QString &line) { return metrics.horizontalAdvance(line); },
        metrics.size(Qt::TextSingleLine, QStringLiteral("X")).height());
}

// --- scaling ----------------------------------------------------------------

int MonitorPixelsPerInch(const QWidget *widget)
{
    QScreen *screen = widget ? widget->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return DesignPixelsPerInch;
    return qRound(screen->logicalDotsPerInch());
}

int PixelsPerInchAt(const QPoint &pos, const QWidget *widget)
{
    if (IsCentredPos(pos))
        return MonitorPixelsPerInch(widget);
    QScreen *screen = ScreenAt(pos);
    return screen ? qRound(screen->logicalDotsPerInch()) : MonitorPixelsPerInch(widget);
}

int ScalingSwitch()
{
    if (!QCoreApplication::instance())
        return 0;
    return QCoreApplication::instance()->property(ScalingSwitchProperty).toInt();
}

void SetScalingSwitch(int value)
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->setProperty(ScalingSwitchProperty, value);
}

void TImageList::SetImageSize(const QSize &size)
{
    FSize = size;
    FImages.clear();
}

void TImageList::Add(const QImage &image)
{
    if (image.size() == FSize)
        FImages.append(image.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    else
        FImages.append(StretchImage(image, FSize));
}

QImage StretchImage(const QImage &image, const QSize &size)
{
    if (size.isEmpty())
        return QImage();
    // The alpha channel is the mask: start fully transparent rather than with
    // an opaque background, and stretch picture and mask in one pass.
    QImage result(size, QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    if (image.isNull())
        return result;
    QPainter painter(&result);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(QPoint(0, 0), size), image);
    return result;
}

void ScaleGlyph(QWidget *control, int sourcePpi, int targetPpi)
{
    if (!ScalingApplies(sourcePpi, targetPpi))
        return;
    auto *button = qobject_cast<QAbstractButton *>(control);
    if (!button || !(qobject_cast<QPushButton *>(button) || qobject_cast<QToolButton *>(button)))
        return;
    if (button->icon().isNull())
        return;
    const QSize oldSize = button->iconSize();
    const QSize newSize = ScaleSize(oldSize, sourcePpi, targetPpi);
    const QImage glyph = button->icon().pixmap(oldSize).toImage();
    const QImage stretched = StretchImage(glyph, newSize);
    if (stretched.isNull())
        return;
    button->setIcon(QIcon(QPixmap::fromImage(stretched)));
    button->setIconSize(newSize);
}

void ScaleControlGlyphs(QWidget *container, int sourcePpi, int targetPpi)
{
    if (!ScalingApplies(sourcePpi, targetPpi))
        return;
    const auto children = container->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    for (QWidget *child : children) {
        ScaleGlyph(child, sourcePpi, targetPpi);
        ScaleControlGlyphs(child, sourcePpi, targetPpi);
    }
}

void ScaleImageList(TImageList &list, int sourcePpi, int targetPpi)
{
    if (!ScalingApplies(sourcePpi, targetPpi))
        return;
    const TImageList copy = list;
    list.SetImageSize(ScaleSize(copy.ImageSize(), sourcePpi, targetPpi));
    for (int i = 0; i < copy.Count(); ++i) {
        const QImage stretched = StretchImage(copy.Image(i), list.ImageSize());
        if (stretched.isNull())
            return; // keep what was rebuilt so far
        list.Add(stretched);
    }
}

} // namespace dialogs
