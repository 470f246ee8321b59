#include "dialogs/ShowMessageDlg.h"

#include "foundation/LangUtils.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QStyle>
#include <QTimer>

#include <climits>

namespace dialogs {

using namespace foundation;

namespace {

constexpr int IconSize = 32;
constexpr int GlyphSize = 16;

// Design geometry at 96 pixels per inch (client area 545 x 127).
constexpr int InfoLeft = 45;
constexpr int InfoTop = 15;
constexpr int IconLeft = 5;
constexpr int IconTop = 15;
constexpr int LeftButtonWidth = 87;
constexpr int CenterButtonWidth = 87;
constexpr int CloseButtonWidth = 112;
constexpr int ButtonHeight = 32;
// The buttons are anchored to the bottom-right corner: distances of their
// right edges from the client's right edge, and of their tops from its bottom.
constexpr int CloseRightGap = 4;
constexpr int CenterRightGap = 119;
constexpr int LeftRightGap = 209;
constexpr int CloseBottomGap = 36;
constexpr int LeftBottomGap = 37;

TShowMsgButtonSpec Button(const char *caption, int result, int glyph, bool isDefault = false)
{
    return TShowMsgButtonSpec{true, caption, result, glyph, isDefault};
}

} // namespace

TShowMsgSetup ShowMsgSetupFor(TMsgDialogType type, TMsgDlgBtn defaultButton)
{
    TShowMsgSetup setup;
    const TShowMsgButtonSpec cancel = Button(N_("Cancel"), mrCancel, sgCancel);
    switch (type) {
    case mdtInformation:
    case mdtWarning:
    case mdtError:
        setup.close = Button(N_("&Close"), mrCancel, sgClose, true);
        setup.icon = type == mdtInformation ? mtInformation
                     : type == mdtWarning   ? mtWarning
                                            : mtError;
        setup.caption = type == mdtInformation ? N_("Information")
                        : type == mdtWarning   ? N_("Warning")
                                               : N_("Error");
        break;
    case mdtConfirm:
        setup.center = Button(N_("&Yes"), mrYes, sgYes, defaultButton == mbYes);
        setup.close = Button(N_("&No"), mrNo, sgNo, defaultButton == mbNo);
        setup.icon = mtConfirmation;
        setup.caption = N_("Confirm");
        break;
    case mdtConfirmError:
        setup.center = Button(N_("&Yes"), mrOk, sgYes, defaultButton == mbYes);
        setup.close = cancel;
        setup.icon = mtError;
        setup.caption = N_("Error");
        break;
    case mdtConfirmRetry:
        setup.center = Button(N_("&Retry"), mrRetry, sgRetry, defaultButton == mbRetry);
        setup.close = cancel;
        setup.icon = mtError;
        setup.caption = N_("Error");
        break;
    case mdtConfirmCancel:
        setup.center = Button(N_("&Yes"), mrYes, sgYes, defaultButton == mbYes);
        setup.close = cancel;
        setup.icon = mtConfirmation;
        setup.caption = N_("Confirm");
        break;
    case mdtConfirmYesNo:
        setup.left = Button(N_("&Yes"), mrYes, sgYes, defaultButton == mbYes);
        setup.center = Button(N_("&No"), mrNo, sgNo, defaultButton == mbNo);
        setup.close = cancel;
        setup.icon = mtConfirmation;
        setup.caption = N_("Confirm");
        break;
    case mdtCustom:
        setup.caption = N_("Information");
        break;
    }
    return setup;
}

bool ShowMsgRunsTimer(TMsgDialogType type, int delaySeconds)
{
    return type == mdtCustom || delaySeconds > 0;
}

int ShowMsgTimerInterval(const QString &text, int delaySeconds)
{
    if (delaySeconds > 0)
        return delaySeconds > INT_MAX / 1000 ? INT_MAX : delaySeconds * 1000;
    const qsizetype length = text.size();
    if (length > (INT_MAX - 2000) / 120)
        return INT_MAX;
    return int(length) * 120 + 2000;
}

int ShowMsgMargin(int ppi)
{
    return MulDiv(10, ppi, DesignPixelsPerInch);
}

TShowMsgLayout ComputeShowMsgLayout(const TShowMsgLayoutInput &input)
{
    const auto S = [&input](int v) { return MulDiv(v, input.ppi, DesignPixelsPerInch); };
    const int infoLeft = S(InfoLeft);
    const int infoTop = S(InfoTop);
    const int leftWidth = S(LeftButtonWidth);
    const int centerWidth = S(CenterButtonWidth);
    const int closeWidth = S(CloseButtonWidth);
    const int buttonHeight = S(ButtonHeight);
    const int margin = ShowMsgMargin(input.ppi);

    // Hidden buttons count as well: the dialog is never narrower than the two
    // right buttons.
    int buttonsWidth = centerWidth + closeWidth;
    if (input.type == mdtConfirmYesNo)
        buttonsWidth += leftWidth;
    const int minTextHeight =
        input.type == mdtCustom ? 2 * infoTop : infoTop + input.iconHeight;
    const int width = qMax(buttonsWidth, input.textExtent.width());
    const int height = qMax(minTextHeight, input.textExtent.height());

    TShowMsgLayout layout;
    layout.client = QSize(2 * infoTop + infoLeft + width, 3 * margin + height + buttonHeight);
    layout.info = QRect(infoLeft, infoTop, width + infoTop, height);
    layout.icon = QRect(S(IconLeft), S(IconTop), input.iconHeight, input.iconHeight);
    const int cw = layout.client.width();
    const int ch = layout.client.height();
    layout.close = QRect(cw - S(CloseRightGap) - closeWidth, ch - S(CloseBottomGap), closeWidth,
                         buttonHeight);
    layout.center = QRect(cw - S(CenterRightGap) - centerWidth, ch - S(CloseBottomGap),
                          centerWidth, buttonHeight);
    layout.left = QRect(cw - S(LeftRightGap) - leftWidth, ch - S(LeftBottomGap), leftWidth,
                        buttonHeight);
    return layout;
}

TShowMsgDialog::TShowMsgDialog(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("ShowMsgDialog"));
    setWindowTitle(QStringLiteral(N_("Information")));

    imgIcon = new QLabel(this);
    imgIcon->setObjectName(QStringLiteral("imgIcon"));
    imgIcon->setGeometry(IconLeft, IconTop, IconSize, IconSize);

    stInfo = new QLabel(this);
    stInfo->setObjectName(QStringLiteral("stInfo"));
    stInfo->setTextFormat(Qt::PlainText);
    stInfo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    stInfo->setFocusPolicy(Qt::StrongFocus);
    stInfo->setGeometry(InfoLeft, InfoTop, 491, 66);

    const auto makeButton = [this](const char *name, const QRect &geometry) {
        auto *button = new QPushButton(this);
        button->setObjectName(QString::fromLatin1(name));
        button->setGeometry(geometry);
        // Enter presses only the button marked as default (none for some types).
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this,
                [this, button] { done(button->property("modalResult").toInt()); });
        return button;
    };
    btLeft = makeButton("btLeft", QRect(249, 90, LeftButtonWidth, ButtonHeight));
    btCenter = makeButton("btCenter", QRect(339, 91, CenterButtonWidth, ButtonHeight));
    btClose = makeButton("btClose", QRect(429, 91, CloseButtonWidth, ButtonHeight));

    Timer = new QTimer(this);
    Timer->setObjectName(QStringLiteral("Timer"));
    Timer->setSingleShot(true);
    Timer->setInterval(5000);
    connect(Timer, &QTimer::timeout, this, &TShowMsgDialog::CloseWithCancel);

    ilIcons = TImageList(IconSize, IconSize);
    for (QStyle::StandardPixmap picture :
         {QStyle::SP_MessageBoxWarning, QStyle::SP_MessageBoxCritical,
          QStyle::SP_MessageBoxInformation, QStyle::SP_MessageBoxQuestion})
        ilIcons.Add(style()->standardIcon(picture).pixmap(IconSize, IconSize).toImage());
    ilGlyphs = TImageList(GlyphSize, GlyphSize);
    for (QStyle::StandardPixmap picture :
         {QStyle::SP_DialogCloseButton, QStyle::SP_DialogCancelButton,
          QStyle::SP_DialogYesButton, QStyle::SP_DialogNoButton, QStyle::SP_BrowserReload})
        ilGlyphs.Add(style()->standardIcon(picture).pixmap(GlyphSize, GlyphSize).toImage());

    TranslateWindow(this, DialogsTextDomain);
    if (ScalingSwitch() == 0) {
        const int ppi = MonitorPixelsPerInch(this);
        ScaleImageList(ilIcons, DesignPixelsPerInch, ppi);
        ScaleImageList(ilGlyphs, DesignPixelsPerInch, ppi);
    }
}

TShowMsgDialog::~TShowMsgDialog()
{
    if (FFilterInstalled)
        QApplication::instance()->removeEventFilter(this);
}

void TShowMsgDialog::SetupButton(QPushButton *button, const TShowMsgButtonSpec &spec)
{
    button->setVisible(spec.visible);
    if (!spec.visible)
        return;
    button->setIcon(QIcon());
    if (spec.glyph >= 0 && spec.glyph < ilGlyphs.Count()) {
        button->setIcon(QIcon(QPixmap::fromImage(ilGlyphs.Image(spec.glyph))));
        button->setIconSize(ilGlyphs.ImageSize());
    }
    button->setText(TranslateIn(DialogsTextDomain, spec.caption));
    button->setProperty("modalResult", spec.result);
    button->setDefault(spec.isDefault);
}

int TShowMsgDialog::Execute(const QPoint &APos, const QString &AHint, int Delay,
                            TMsgDialogType DlgType, TMsgDlgBtn DefaultButton,
                            TDefaultMonitor AMonitor)
{
    if (AHint.isEmpty())
        return mrNone;

    const TShowMsgSetup setup = ShowMsgSetupFor(DlgType, DefaultButton);
    for (QPushButton *button : {btLeft, btCenter, btClose})
        button->setDefault(false);
    SetupButton(btLeft, setup.left);
    SetupButton(btCenter, setup.center);
    SetupButton(btClose, setup.close);
    stInfo->setFocus();

    if (setup.icon < 0 || setup.icon >= ilIcons.Count()) {
        imgIcon->hide();
    } else {
        imgIcon->clear();
        imgIcon->setPixmap(QPixmap::fromImage(ilIcons.Image(setup.icon)));
        imgIcon->show();
    }

    FRunTimer = ShowMsgRunsTimer(DlgType, Delay);
    if (FRunTimer) {
        setWindowTitle(TranslateIn(DialogsTextDomain, N_("Information")));
        Timer->setInterval(ShowMsgTimerInterval(AHint, Delay));
    } else {
        setWindowTitle(TranslateIn(DialogsTextDomain, setup.caption));
    }

    TShowMsgLayoutInput input;
    input.ppi = PixelsPerInchAt(APos, this);
    input.type = DlgType;
    input.textExtent = TextExtentForFont(AHint, stInfo->font());
    input.iconHeight = ilIcons.ImageSize().height();
    const TShowMsgLayout layout = ComputeShowMsgLayout(input);

    QString display = AHint;
    display.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    stInfo->setText(display);
    stInfo->setGeometry(layout.info);
    imgIcon->setGeometry(layout.icon);
    btLeft->setGeometry(layout.left);
    btCenter->setGeometry(layout.center);
    btClose->setGeometry(layout.close);
    setFixedSize(layout.client);

    SetFormPos(this, APos, false, AMonitor);
    // The parent may be deleted while the loop runs, and this dialog with it.
    const QPointer<TShowMsgDialog> alive(this);
    const int result = exec();
    if (!alive)
        return mrCancel;
    Timer->stop();
    return result;
}

void TShowMsgDialog::CloseWithCancel()
{
    if (isVisible())
        done(mrCancel);
}

void TShowMsgDialog::reject()
{
    // The close box: Cancel whatever the buttons are.
    done(mrCancel);
}

void TShowMsgDialog::keyPressEvent(QKeyEvent *event)
{
    // Escape presses the rightmost button, whatever its caption.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (btClose->isVisible())
            btClose->click();
        else
            done(mrCancel);
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TShowMsgDialog::eventFilter(QObject *watched, QEvent *event)
{
    // Sees every key before the control that has the focus. A closing key
    // still reaches that control: when it presses a button (Enter, Escape),
    // that button's result wins, because the close is only queued.
    if (event->type() == QEvent::KeyPress && isVisible()) {
        auto *widget = qobject_cast<QWidget *>(watched);
        auto *key = static_cast<QKeyEvent *>(event);
        if (widget && widget->window() == this && (FRunTimer || key->key() == Qt::Key_F11)) {
            // A close still queued when a button ended this showing must not
            // end the next one.
            const int showing = FShowCount;
            QMetaObject::invokeMethod(
                this,
                [this, showing] {
                    if (showing == FShowCount)
                        CloseWithCancel();
                },
                Qt::QueuedConnection);
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TShowMsgDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        ++FShowCount;
    if (!FFilterInstalled) {
        QApplication::instance()->installEventFilter(this);
        FFilterInstalled = true;
    }
    if (FRunTimer)
        Timer->start();
    else
        Timer->stop();
}

void TShowMsgDialog::hideEvent(QHideEvent *event)
{
    Timer->stop();
    if (FFilterInstalled) {
        QApplication::instance()->removeEventFilter(this);
        FFilterInstalled = false;
    }
    QDialog::hideEvent(event);
}

int ShowMsgDialogAt(const QPoint &APos, const QString &AText, int Delay, TMsgDialogType DlgType,
                    TMsgDlgBtn DefaultButton, TDefaultMonitor AMonitor)
{
    // A child of the active window, which may be closed and deleted while the
    // dialog runs its loop and take the dialog along; so it is watched rather
    // than owned.
    const QPointer<TShowMsgDialog> dialog(new TShowMsgDialog(QApplication::activeWindow()));
    const auto release = qScopeGuard([&dialog] { delete dialog.data(); });
    return dialog->Execute(APos, AText, Delay, DlgType, DefaultButton, AMonitor);
}

int ShowMsgDialogCentred(const QString &AText, TMsgDialogType DlgType)
{
    return ShowMsgDialogAt(DefaultDialogPos, AText, 0, DlgType, mbYes, dmActiveForm);
}

} // namespace dialogs
