#include "dialogs/SelectDlg.h"

#include "foundation/LangUtils.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include <memory>

namespace dialogs {

using namespace foundation;

TSelectDialog *SelectDialog = nullptr;

namespace {

constexpr int IconSize = 32;

// Object names of the created buttons, used by tests and accessibility tools.
QString ButtonObjectName(int index, bool cancel)
{
    return cancel ? QStringLiteral("btCancel") : QStringLiteral("btSelect%1").arg(index);
}

QFont StyledFont(QFont font, TFontStyles style)
{
    font.setBold(style.testFlag(fsBold));
    font.setItalic(style.testFlag(fsItalic));
    font.setUnderline(style.testFlag(fsUnderline));
    font.setStrikeOut(style.testFlag(fsStrikeOut));
    return font;
}

// Lines are separated by CR LF only; the label breaks lines at LF.
QString DisplayText(const QString &text)
{
    QString display = text;
    display.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return display;
}

} // namespace

TSelectLayout ComputeSelectLayout(const TSelectLayoutInput &input)
{
    const auto S = [&input](int v) { return MulDiv(v, input.ppi, DesignPixelsPerInch); };
    const int h = input.fontHeight;
    TSelectLayout layout;

    // 0 asks for the standard width; a negative width would break the grid.
    const int bw = S(input.buttonWidth > 0 ? input.buttonWidth : SelectDefaultButtonWidth);
    int w = S(70) + 3 * bw;
    const int m = S(50);
    const int g = S(10);

    int t = input.textWidth;
    if (input.bold)
        t = MulDiv(t, 5, 4);
    const int k = input.lineCount;

    const int captionTop = S(10);
    const int captionHeight = MulDiv(h, 12, 10) * k + g;
    // A short text is stretched to the standard width, a wide one widens the dialog.
    if (t < w - m - g)
        t = w - m - g;
    else
        w = t + m + g;
    layout.caption = QRect(m, captionTop, t, captionHeight);
    layout.icon = QRect(S(5), S(15), S(IconSize), S(IconSize));

    int y = captionTop + captionHeight + g;
    const int bh = MulDiv(h, 24, 10);
    const int step = MulDiv(bh, 30, 26);
    layout.buttonHeight = bh;
    layout.rowStep = step;

    if (input.hasOption) {
        layout.option = QRect(m, y - 5, w - m - 10, input.optionHeight);
        y += input.optionHeight;
    }

    const int total = qMax(0, input.buttonCount) + 1;
    const int fullRows = (total - 1) / 3;
    const int lastRow = total - 3 * fullRows;
    const int x0 = w - 3 * (bw + 5) - 5;
    for (int i = 0; i < 3 * fullRows; ++i) {
        const int row = i / 3;
        const int column = i % 3;
        layout.buttons.append(QRect(x0 + column * (bw + 5), y + row * step, bw, bh));
    }
    y += fullRows * step;
    for (int j = 0; j < lastRow; ++j) {
        const int column = 3 - lastRow + j;
        layout.buttons.append(QRect(x0 + column * (bw + 5), y, bw, bh));
    }
    layout.client = QSize(w, step + y + 5);
    return layout;
}

int SelectFocusIndex(int preSelection, int buttonCount)
{
    if (preSelection < 0)
        return buttonCount;
    const int low = preSelection & 0xFF;
    return low > buttonCount ? buttonCount : low;
}

bool SelectOptionStartsChecked(int preSelection)
{
    return preSelection > 0 && (preSelection & SelectOptionBit) != 0;
}

int SelectResult(int selection, bool optionChecked)
{
    return selection >= 0 && optionChecked ? selection + SelectOptionBit : selection;
}

TSelectDialog::TSelectDialog(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                          | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("SelectDialog"));
    setWindowTitle(QStringLiteral(N_("Dialog")));

    imgIcon = new QLabel(this);
    imgIcon->setObjectName(QStringLiteral("imgIcon"));
    imgIcon->setGeometry(5, 15, IconSize, IconSize);

    stCaption = new QLabel(this);
    stCaption->setObjectName(QStringLiteral("stCaption"));
    stCaption->setTextFormat(Qt::PlainText);
    stCaption->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    stCaption->move(50, 10);

    cbOption = new QCheckBox(this);
    cbOption->setObjectName(QStringLiteral("cbOption"));
    cbOption->setGeometry(50, 50, 97, 26);

    ilIcons = TImageList(IconSize, IconSize);
    const QStyle::StandardPixmap pictures[] = {
        QStyle::SP_MessageBoxWarning, QStyle::SP_MessageBoxCritical,
        QStyle::SP_MessageBoxInformation, QStyle::SP_MessageBoxQuestion};
    for (QStyle::StandardPixmap picture : pictures)
        ilIcons.Add(style()->standardIcon(picture).pixmap(IconSize, IconSize).toImage());

    FormCreate();
    if (ScalingSwitch() == 0)
        ScaleImageList(ilIcons, DesignPixelsPerInch, MonitorPixelsPerInch(this));
}

TSelectDialog::~TSelectDialog()
{
    if (SelectDialog == this)
        SelectDialog = nullptr;
}

void TSelectDialog::FormCreate()
{
    TranslateWindow(this, DialogsTextDomain);
    FActiveScreenReader = QAccessible::isActive();
}

void TSelectDialog::reject()
{
    FSelection = -1;
    QDialog::reject();
}

void TSelectDialog::ButtonClick()
{
    auto *button = qobject_cast<QPushButton *>(sender());
    if (!button)
        return;
    FSelection = button->property("tag").toInt();
    accept();
}

void TSelectDialog::BuildButtons(const TSelectLayout &layout, const QStringList &captions,
                                 const QString &cancelCaption)
{
    const int total = int(layout.buttons.size());
    for (int index = 0; index < total; ++index) {
        const bool cancel = index == total - 1;
        auto *button = new QPushButton(this);
        button->setObjectName(ButtonObjectName(index, cancel));
        button->setGeometry(layout.buttons.at(index));
        button->setFocusPolicy(Qt::StrongFocus);
        button->setAutoDefault(true); // Enter presses the focused button
        button->setText(cancel ? cancelCaption : captions.at(index));
        button->setProperty("tag", cancel ? -1 : index);
        connect(button, &QPushButton::clicked, this, &TSelectDialog::ButtonClick);
        button->show();
        FButtons.append(button);
    }
}

void TSelectDialog::ReleaseButtons()
{
    qDeleteAll(FButtons);
    FButtons.clear();
}

int TSelectDialog::Execute(const QPoint &APos, const QString &ATitle, const QString &ACaption,
                           TMsgDlgType DlgType, TFontStyles ACaptionFormat,
                           const QStringList &AButtons, const QString &AOption, int ButtonWidth,
                           int PreSelection, const QString &DefaultButton)
{
    ReleaseButtons(); // in case an earlier call was left by an exception
    setWindowTitle(ATitle);

    const QFont captionFont = StyledFont(font(), ACaptionFormat);
    TSelectLayoutInput input;
    input.ppi = PixelsPerInchAt(APos, this);
    input.fontHeight = QFontInfo(captionFont).pixelSize();
    input.textWidth = MaxTextWidth(ACaption, this);
    input.bold = ACaptionFormat.testFlag(fsBold);
    input.lineCount = TextLineCount(ACaption);
    input.buttonCount = int(AButtons.size());
    input.buttonWidth = ButtonWidth;
    input.hasOption = !AOption.isEmpty();
    if (input.hasOption) {
        cbOption->setText(AOption);
        input.optionHeight =
            qMax(MulDiv(26, input.ppi, DesignPixelsPerInch), cbOption->sizeHint().height());
    }
    const TSelectLayout layout = ComputeSelectLayout(input);

    stCaption->setFont(captionFont);
    stCaption->setText(DisplayText(ACaption));
    stCaption->setGeometry(layout.caption);
    stCaption->setFocusPolicy(FActiveScreenReader ? Qt::StrongFocus : Qt::NoFocus);
    stCaption->setTextInteractionFlags(FActiveScreenReader ? Qt::TextSelectableByKeyboard
                                                           : Qt::NoTextInteraction);

    cbOption->setChecked(false);
    if (!input.hasOption) {
        cbOption->hide();
    } else {
        cbOption->setGeometry(layout.option);
        if (PreSelection > 0)
            cbOption->setChecked(SelectOptionStartsChecked(PreSelection));
        cbOption->show();
    }

    if (DlgType == mtCustom || DlgType < 0 || DlgType >= ilIcons.Count()) {
        imgIcon->hide();
    } else {
        const QImage &picture = ilIcons.Image(DlgType);
        imgIcon->setPixmap(QPixmap::fromImage(picture));
        imgIcon->setGeometry(QRect(layout.icon.topLeft(), picture.size()));
        imgIcon->show();
    }

    const QString cancelCaption = DefaultButton.isEmpty()
                                      ? TranslateIn(DialogsTextDomain, N_("Cancel"))
                                      : DefaultButton;
    BuildButtons(layout, AButtons, cancelCaption);
    setFixedSize(layout.client);
    FSelection = -1;

    // Tab order: the message first (it takes the focus only with a screen
    // reader, and then the check box follows it), then the buttons; without a
    // screen reader the check box comes after all buttons.
    QList<QWidget *> tabOrder;
    if (FActiveScreenReader) {
        tabOrder.append(stCaption);
        if (input.hasOption)
            tabOrder.append(cbOption);
    }
    for (QPushButton *button : FButtons)
        tabOrder.append(button);
    if (!FActiveScreenReader && input.hasOption)
        tabOrder.append(cbOption);
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        QWidget::setTabOrder(tabOrder.at(i - 1), tabOrder.at(i));

    if (FActiveScreenReader)
        stCaption->setFocus();
    else
        FButtons.at(SelectFocusIndex(PreSelection, input.buttonCount))->setFocus();

    SetFormPos(this, APos, false);
    exec();

    const int result = SelectResult(FSelection, input.hasOption && cbOption->isChecked());
    ReleaseButtons();
    return result;
}

int ExecuteSelectDialog(const QString &ATitle, const QString &ACaption, TMsgDlgType DlgType,
                        TFontStyles ACaptionFormat, const QStringList &AButtons,
                        const QString &AOption, int ButtonWidth, int PreSelection,
                        const QString &DefaultButton)
{
    if (!SelectDialog)
        SelectDialog = new TSelectDialog(nullptr);
    // Released after the call, also when it ends by an exception; the
    // destructor empties the reference.
    const std::unique_ptr<TSelectDialog> release(SelectDialog);
    return SelectDialog->Execute(DefaultDialogPos, ATitle, ACaption, DlgType, ACaptionFormat,
                                 AButtons, AOption, ButtonWidth, PreSelection, DefaultButton);
}

} // namespace dialogs
