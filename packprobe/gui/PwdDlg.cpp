#include "packprobe/gui/PwdDlg.h"

#include "packprobe/core/ExtFileTools.h"

#include "dialogs/MsgDialogs.h"
#include "dialogs/ShowMessageDlg.h"
#include "dialogs/WinUtils.h"
#include "foundation/LangUtils.h"

#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QToolButton>

namespace packprobe {

using namespace foundation;
using namespace dialogs;

namespace {

constexpr int ButtonWidth = 75;
constexpr int ButtonHeight = 25;
constexpr int ButtonGap = 6;
constexpr int PasteSize = 31;

QFont BoldFont(const QWidget *widget)
{
    QFont font = widget->font();
    font.setBold(true);
    return font;
}

// Lines are separated by CR LF only; a lone CR or LF inside a line would make
// the label break where the sizing counts no line, so it shows as a blank.
QString PromptForLabel(const QString &prompt)
{
    QStringList lines = SplitTextLines(prompt);
    for (QString &line : lines) {
        line.replace(QLatin1Char('\r'), QLatin1Char(' '));
        line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    }
    return lines.join(QLatin1Char('\n'));
}

// The paste button's glyph: the theme's where there is one, else a drawn
// clipboard.
QIcon PasteGlyph()
{
    const QIcon themed = QIcon::fromTheme(QStringLiteral("edit-paste"));
    if (!themed.isNull())
        return themed;
    QPixmap picture(24, 24);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0x6b, 0x4a, 0x2b), 1));
    painter.setBrush(QColor(0xb0, 0x7d, 0x4a));
    painter.drawRoundedRect(QRectF(4.5, 3.5, 15, 19), 2, 2);
    painter.setPen(QPen(QColor(0x88, 0x88, 0x88), 1));
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(7.5, 6.5, 9, 13));
    painter.setPen(QPen(QColor(0x9a, 0x9a, 0x9a), 1));
    for (int y = 10; y <= 16; y += 3)
        painter.drawLine(QPointF(9.5, y + 0.5), QPointF(14.5, y + 0.5));
    painter.setPen(QPen(QColor(0x55, 0x55, 0x55), 1));
    painter.setBrush(QColor(0xc8, 0xc8, 0xc8));
    painter.drawRoundedRect(QRectF(8.5, 1.5, 7, 4), 1, 1);
    painter.end();
    return QIcon(picture);
}

void WipeText(QString &text)
{
    text.fill(QChar(0));
    text.clear();
}

} // namespace

int PasswordPromptHeight(int fontHeight, int margin, int lineCount)
{
    return (qAbs(fontHeight) + margin) * lineCount + 2 * margin;
}

int PasswordPromptMargin(int ppi)
{
    return MulDiv(2, ppi, DesignPixelsPerInch);
}

int PasswordDepthChoice(int encMode)
{
    switch (encMode) {
    case 1:
        return 1;
    case 2: // AES-192 is not offered: the stronger choice
    case 3:
        return 3;
    default:
        return 0;
    }
}

TPasswordDialog::TPasswordDialog(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("PasswordDialog"));
    setWindowTitle(Translate("Dialog"));

    pnTop = new QWidget(this);
    pnTop->setObjectName(QStringLiteral("pnTop"));
    lblPrompt = new QLabel(pnTop);
    lblPrompt->setObjectName(QStringLiteral("lblPrompt"));
    lblPrompt->setTextFormat(Qt::PlainText);
    lblPrompt->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lblPrompt->setFont(BoldFont(lblPrompt));
    lblPrompt->setGeometry(PwdPromptLeft, 3, 321, 27);

    pnInput = new QWidget(this);
    pnInput->setObjectName(QStringLiteral("pnInput"));
    Label1 = new QLabel(Translate("Password:"), pnInput);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(BoldFont(Label1));
    edtPwd = new QLineEdit(pnInput);
    edtPwd->setObjectName(QStringLiteral("edtPwd"));
    edtPwd->setEchoMode(QLineEdit::Password);
    edtPwd->setToolTip(Translate("Password"));
    edtPwd->setPlaceholderText(Translate("Password"));
    Label1->setBuddy(edtPwd);
    bbPaste = new QToolButton(pnInput);
    bbPaste->setObjectName(QStringLiteral("bbPaste"));
    bbPaste->setToolTip(Translate("Paste from clipboard"));
    bbPaste->setIcon(PasteGlyph());
    bbPaste->setIconSize(QSize(20, 20));
    bbPaste->setFocusPolicy(Qt::TabFocus);
    connect(bbPaste, &QToolButton::clicked, this, &TPasswordDialog::bbPasteClick);

    gbEncrypt = new QGroupBox(Translate("AES encryption depth:"), this);
    gbEncrypt->setObjectName(QStringLiteral("gbEncrypt"));
    rbEncAuto = new QRadioButton(Translate("Automatic"), gbEncrypt);
    rbEncAuto->setObjectName(QStringLiteral("rbEncAuto"));
    rbEnc128 = new QRadioButton(Translate("128 bit"), gbEncrypt);
    rbEnc128->setObjectName(QStringLiteral("rbEnc128"));
    rbEnc256 = new QRadioButton(Translate("256 bit"), gbEncrypt);
    rbEnc256->setObjectName(QStringLiteral("rbEnc256"));
    rbEncAuto->setChecked(true);
    Hgt = PwdEncryptHeight;

    pnBottom = new QWidget(this);
    pnBottom->setObjectName(QStringLiteral("pnBottom"));
    btnSkip = new QPushButton(Translate("Skip"), pnBottom);
    btnSkip->setObjectName(QStringLiteral("btnSkip"));
    OKBtn = new QPushButton(Translate("OK"), pnBottom);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    CancelBtn = new QPushButton(Translate("Cancel"), pnBottom);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    for (QPushButton *button : {btnSkip, OKBtn, CancelBtn})
        button->setAutoDefault(false);
    OKBtn->setDefault(true);
    connect(btnSkip, &QPushButton::clicked, this, [this] { done(mrYes); });
    connect(OKBtn, &QPushButton::clicked, this, [this] { done(mrOk); });
    connect(CancelBtn, &QPushButton::clicked, this, [this] { done(mrCancel); });

    // Keys typed in any control reach the dialog first (F11).
    for (QWidget *child : findChildren<QWidget *>())
        child->installEventFilter(this);

    UpdateClientSize(true);

    if (ScalingSwitch() == 0)
        ScaleControlGlyphs(this, MonitorPixelsPerInch(nullptr), MonitorPixelsPerInch(this));
}

TPasswordDialog::~TPasswordDialog() = default;

void TPasswordDialog::reject()
{
    // Escape and the close box answer Cancel.
    done(mrCancel);
}

void TPasswordDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    edtPwd->setFocus(Qt::OtherFocusReason);
}

void TPasswordDialog::LayoutPrompt(const QString &Prompt)
{
    const int w = MaxTextWidthForFont(Prompt, lblPrompt->font());
    const int m = PasswordPromptMargin(MonitorPixelsPerInch(this));
    const int n = TextLineCount(Prompt);
    // A text line of the label is lineSpacing high; the margin m spaces them.
    const int lineHeight = QFontMetrics(lblPrompt->font()).lineSpacing();
    const int height = PasswordPromptHeight(lineHeight, m, n);
    lblPrompt->setText(PromptForLabel(Prompt));
    lblPrompt->setGeometry(PwdPromptLeft, lblPrompt->y(), w, height);
    pnTop->resize(pnTop->width(), height + 2 * m);
    // The prompt keeps its left margin on the right as well.
    if (FClientWidth < 2 * PwdPromptLeft + w)
        FClientWidth = 2 * PwdPromptLeft + w;
}

void TPasswordDialog::UpdateClientSize(bool Enc)
{
    const int width = FClientWidth;
    int y = 0;
    pnTop->setGeometry(0, y, width, pnTop->height() > 0 ? pnTop->height() : PwdTopHeight);
    y += pnTop->height();

    pnInput->setGeometry(0, y, width, PwdInputHeight);
    Label1->setGeometry(PwdPromptLeft, 4, width - 2 * PwdPromptLeft, Label1->sizeHint().height());
    bbPaste->setGeometry(width - PwdPromptLeft - PasteSize, 16, PasteSize, PasteSize);
    edtPwd->setGeometry(PwdPromptLeft, 20, bbPaste->x() - ButtonGap - PwdPromptLeft,
                        qMax(23, edtPwd->sizeHint().height()));
    y += PwdInputHeight;

    if (Enc) {
        gbEncrypt->setGeometry(PwdPromptLeft / 2, y, width - PwdPromptLeft, Hgt);
        const int third = (gbEncrypt->width() - 2 * PwdPromptLeft) / 3;
        int x = PwdPromptLeft;
        for (QRadioButton *button : {rbEncAuto, rbEnc128, rbEnc256}) {
            button->setGeometry(x, 22, third, button->sizeHint().height());
            x += third;
        }
        y += Hgt;
    }

    pnBottom->setGeometry(0, y, width, PwdBottomHeight);
    int x = width - PwdPromptLeft - ButtonWidth;
    for (QPushButton *button : {CancelBtn, OKBtn, btnSkip}) {
        if (button->isHidden() && button == btnSkip)
            break;
        button->setGeometry(x, 8, ButtonWidth, ButtonHeight);
        x -= ButtonWidth + ButtonGap;
    }
    y += PwdBottomHeight;
    setFixedSize(width, y);
}

int TPasswordDialog::Execute(const QPoint &APos, const QString &Title, const QString &Prompt,
                             bool Skip, bool Enc, QString &Pwd, int &EncMode)
{
    setWindowTitle(Title);
    LayoutPrompt(Prompt);
    edtPwd->clear();
    btnSkip->setVisible(Skip);
    gbEncrypt->setVisible(Enc);
    UpdateClientSize(Enc);
    switch (PasswordDepthChoice(EncMode)) {
    case 1:
        rbEnc128->setChecked(true);
        break;
    case 3:
        rbEnc256->setChecked(true);
        break;
    default:
        rbEncAuto->setChecked(true);
        break;
    }
    // Placed once it has its final size, so that it fits the work area.
    SetFormPos(this, APos);
    const int result = exec();
    if (result == mrOk) {
        Pwd = edtPwd->text();
        if (Enc)
            EncMode = rbEnc128->isChecked() ? 1 : rbEnc256->isChecked() ? 3 : 0;
    }
    // The typed secret does not stay in the dialog between runs.
    edtPwd->clear();
    return result;
}

int TPasswordDialog::Execute(const QPoint &APos, const QString &Title, const QString &Prompt,
                             bool Skip, bool Enc, QByteArray &Pwd, int &EncMode)
{
    Q_UNUSED(Enc)
    QString text;
    const int result = Execute(APos, Title, Prompt, Skip, false, text, EncMode);
    if (result == mrOk)
        Pwd = UnicodeToLegacyCodePage(text);
    WipeText(text);
    return result;
}

int TPasswordDialog::Execute(const QPoint &APos, const QString &Title, const QString &Prompt,
                             QByteArray &Pwd)
{
    int encMode = 0;
    return Execute(APos, Title, Prompt, false, false, Pwd, encMode);
}

int TPasswordDialog::Execute(const QString &Title, const QString &Prompt, QByteArray &Pwd)
{
    return Execute(DefaultDialogPos, Title, Prompt, Pwd);
}

QString TPasswordDialog::HintOf(const QWidget *control)
{
    if (!control)
        return QString();
    if (const auto *edit = qobject_cast<const QLineEdit *>(control)) {
        if (!edit->placeholderText().isEmpty())
            return edit->placeholderText();
    }
    return control->toolTip();
}

void TPasswordDialog::bbPasteClick()
{
    edtPwd->clear();
    edtPwd->paste();
}

void TPasswordDialog::ShowFocusHint()
{
    const QString hint = HintOf(focusWidget());
    if (!hint.isEmpty())
        ShowMsgDialogCentred(hint, mdtCustom);
}

bool TPasswordDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_F11) {
        ShowFocusHint();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TPasswordDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_F11) {
        ShowFocusHint();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace packprobe
