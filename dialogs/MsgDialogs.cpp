#include "dialogs/MsgDialogs.h"

#include "foundation/LangUtils.h"

#include <QApplication>
#include <QFontMetrics>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QShowEvent>

namespace dialogs {

using namespace foundation;

namespace {

struct TButtonMapping
{
    TMsgDlgBtn button;
    QMessageBox::StandardButton standard;
    int result;
    const char *caption; // the standard caption, translated in "dialogs"
};

// Qt has no plain "All" button; it takes the place of "Yes to All", which
// a set rarely holds together with it.
constexpr TButtonMapping ButtonMappings[] = {
    {mbYes, QMessageBox::Yes, mrYes, N_("&Yes")},
    {mbNo, QMessageBox::No, mrNo, N_("&No")},
    {mbOK, QMessageBox::Ok, mrOk, N_("OK")},
    {mbCancel, QMessageBox::Cancel, mrCancel, N_("Cancel")},
    {mbAbort, QMessageBox::Abort, mrAbort, N_("&Abort")},
    {mbRetry, QMessageBox::Retry, mrRetry, N_("&Retry")},
    {mbIgnore, QMessageBox::Ignore, mrIgnore, N_("&Ignore")},
    {mbAll, QMessageBox::YesToAll, mrAll, N_("&All")},
    {mbNoToAll, QMessageBox::NoToAll, mrNoToAll, N_("N&o to All")},
    {mbYesToAll, QMessageBox::YesToAll, mrYesToAll, N_("Yes to &All")},
    {mbHelp, QMessageBox::Help, mrHelp, N_("&Help")},
    {mbClose, QMessageBox::Close, mrClose, N_("&Close")},
};

QMessageBox::Icon IconOf(TMsgDlgType type)
{
    switch (type) {
    case mtWarning: return QMessageBox::Warning;
    case mtError: return QMessageBox::Critical;
    case mtInformation: return QMessageBox::Information;
    case mtConfirmation: return QMessageBox::Question;
    case mtCustom: break;
    }
    return QMessageBox::NoIcon;
}

// A message box that places itself once its size is known: QMessageBox
// settles its size in its own show handler, which runs before the window is
// mapped, so moving it there avoids a visible jump.
class TPositionedMessageBox : public QMessageBox
{
public:
    TPositionedMessageBox(const QPoint &pos, TDefaultMonitor monitor, const QString &title,
                          QWidget *parent)
        : QMessageBox(parent), FPos(pos), FMonitor(monitor), FTitle(title)
    {
    }

protected:
    void showEvent(QShowEvent *event) override
    {
        QMessageBox::showEvent(event);
        if (event->spontaneous())
            return;
        ApplyTitleWidth();
        Place();
    }

    bool event(QEvent *event) override
    {
        const bool handled = QMessageBox::event(event);
        // QMessageBox sizes itself again on every layout request, and its own
        // allowance for the title stops at about 1000 pixels; keep the whole
        // title visible, at the width the box was placed with.
        if (event->type() == QEvent::LayoutRequest && isVisible())
            ApplyTitleWidth();
        return handled;
    }

private:
    void ApplyTitleWidth()
    {
        if (FTitle.isEmpty())
            return;
        const int wanted = MessageBoxWidthForTitle(width(), fontMetrics().horizontalAdvance(FTitle));
        if (wanted != width())
            setFixedWidth(wanted);
    }

    void Place()
    {
        const std::optional<QPoint> topLeft =
            MessageBoxPosition(FPos, WindowFrameSize(this), WorkAreaAt(FPos));
        if (topLeft)
            move(*topLeft);
        else
            CentreOnMonitor(this, FMonitor);
    }

    QPoint FPos;
    TDefaultMonitor FMonitor;
    QString FTitle;
};

} // namespace

TMsgDlgBtn DefaultButtonFor(TMsgDlgButtons buttons)
{
    if (buttons.testFlag(mbOK))
        return mbOK;
    if (buttons.testFlag(mbYes))
        return mbYes;
    return mbRetry;
}

QString MessageTypeCaption(TMsgDlgType type)
{
    switch (type) {
    case mtWarning: return TranslateIn(DialogsTextDomain, N_("Warning"));
    case mtError: return TranslateIn(DialogsTextDomain, N_("Error"));
    case mtInformation: return TranslateIn(DialogsTextDomain, N_("Information"));
    case mtConfirmation: return TranslateIn(DialogsTextDomain, N_("Confirm"));
    case mtCustom: break;
    }
    return QApplication::applicationDisplayName();
}

bool MessageBoxCentred(const QPoint &pos)
{
    return pos.x() < 0 && pos.y() < 0;
}

std::optional<QPoint> MessageBoxPosition(const QPoint &pos, const QSize &boxSize,
                                         const QRect &workArea)
{
    if (MessageBoxCentred(pos))
        return std::nullopt;
    int x = pos.x();
    int y = pos.y();
    FitToWorkArea(x, y, boxSize.width(), boxSize.height(), workArea);
    return QPoint(x, y);
}

int MessageBoxWidthForTitle(int clientWidth, int titleWidth)
{
    return qMax(clientWidth, titleWidth + 50);
}

int ModalResultOf(TMsgDlgBtn button)
{
    for (const TButtonMapping &mapping : ButtonMappings)
        if (mapping.button == button)
            return mapping.result;
    return mrNone;
}

QMessageBox *CreateMessageDialogAt(const QString &title, const QString &message,
                                   TMsgDlgType type, TMsgDlgButtons buttons, int defaultButton,
                                   const QPoint &pos, TDefaultMonitor monitor, QWidget *parent)
{
    auto *box = new TPositionedMessageBox(pos, monitor, title, parent);
    box->setObjectName(QStringLiteral("MessageDialog"));
    box->setIcon(IconOf(type));
    box->setText(message);
    box->setWindowTitle(title.isEmpty() ? MessageTypeCaption(type) : title);
    box->setWindowFlag(Qt::WindowStaysOnTopHint, true);

    QMessageBox::StandardButtons standardButtons;
    for (const TButtonMapping &mapping : ButtonMappings)
        if (buttons.testFlag(mapping.button))
            standardButtons |= mapping.standard;
    box->setStandardButtons(standardButtons);
    // Captions come from our catalogues like every other text of the dialogs.
    for (const TButtonMapping &mapping : ButtonMappings) {
        QAbstractButton *button = box->button(mapping.standard);
        if (!button || !buttons.testFlag(mapping.button) || !button->objectName().isEmpty())
            continue;
        button->setObjectName(QStringLiteral("MessageButton%1").arg(mapping.result));
        button->setText(TranslateIn(DialogsTextDomain, mapping.caption));
    }

    const TMsgDlgBtn chosenDefault =
        defaultButton != 0 ? TMsgDlgBtn(defaultButton) : DefaultButtonFor(buttons);
    for (const TButtonMapping &mapping : ButtonMappings)
        if (mapping.button == chosenDefault)
            if (auto *button = qobject_cast<QPushButton *>(box->button(mapping.standard)))
                box->setDefaultButton(button);
    return box;
}

int MessageDialogAt(const QString &title, const QString &message, TMsgDlgType type,
                    TMsgDlgButtons buttons, int defaultButton, const QPoint &pos,
                    TDefaultMonitor monitor)
{
    // The box is a child of the active window, which may be closed and
    // deleted while the box runs its loop and takes the box along; so the
    // box is watched rather than owned.
    const QPointer<QMessageBox> box(CreateMessageDialogAt(
        title, message, type, buttons, defaultButton, pos, monitor, QApplication::activeWindow()));
    const auto release = qScopeGuard([&box] { delete box.data(); });
    box->exec();
    if (!box)
        return mrCancel;
    QAbstractButton *clicked = box->clickedButton();
    const QMessageBox::StandardButton standard =
        clicked ? box->standardButton(clicked) : QMessageBox::NoButton;
    for (const TButtonMapping &mapping : ButtonMappings)
        if (mapping.standard == standard && buttons.testFlag(mapping.button))
            return mapping.result;
    return mrCancel; // closed without a button
}

int InfoDialogAt(const QPoint &pos, const QString &title, const QString &message,
                 TDefaultMonitor monitor)
{
    return MessageDialogAt(title, message, mtInformation, mbOK, 0, pos, monitor);
}

int InfoDialogAt(const QPoint &pos, const QString &message, TDefaultMonitor monitor)
{
    return InfoDialogAt(pos, QString(), message, monitor);
}

int InfoDialog(const QString &message, TDefaultMonitor monitor)
{
    return InfoDialogAt(DefaultDialogPos, message, monitor);
}

int ErrorDialogAt(const QPoint &pos, const QString &title, const QString &message,
                  TDefaultMonitor monitor)
{
    return MessageDialogAt(title, message, mtError, mbOK, 0, pos, monitor);
}

int ErrorDialogAt(const QPoint &pos, const QString &message, TDefaultMonitor monitor)
{
    return ErrorDialogAt(pos, QString(), message, monitor);
}

int ErrorDialog(const QString &message, TDefaultMonitor monitor)
{
    return ErrorDialogAt(DefaultDialogPos, message, monitor);
}

} // namespace dialogs
