#pragma once

// A small modal message box that sizes itself to its text, offers one to
// three buttons chosen by a dialog type, and can close itself after a delay
// (then any key closes it too). F11 always closes it: the password dialog
// shows its hints in it and F11 toggles them.

#include "dialogs/MsgDialogs.h"
#include "dialogs/WinUtils.h"

#include <QDialog>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

class QLabel;
class QPushButton;
class QTimer;

namespace dialogs {

enum TMsgDialogType {
    mdtInformation,
    mdtWarning,
    mdtError,
    mdtConfirm,
    mdtConfirmError,
    mdtConfirmRetry,
    mdtConfirmCancel,
    mdtConfirmYesNo,
    mdtCustom,
};

// Pictures of the glyph list, in order.
enum TShowMsgGlyph { sgClose = 0, sgCancel = 1, sgYes = 2, sgNo = 3, sgRetry = 4 };

struct TShowMsgButtonSpec
{
    bool visible = false;
    const char *caption = ""; // untranslated
    int result = mrNone;
    int glyph = -1;
    bool isDefault = false;
};

// Buttons, icon and caption of a dialog type.
struct TShowMsgSetup
{
    TShowMsgButtonSpec left, center, close; // left to right; close is the cancel button
    int icon = -1;                          // index into the icon list, -1 for none
    const char *caption = "";               // untranslated caption when not timed
};

TShowMsgSetup ShowMsgSetupFor(TMsgDialogType type, TMsgDlgBtn defaultButton);

// Whether the dialog closes itself by the timer and on any key.
bool ShowMsgRunsTimer(TMsgDialogType type, int delaySeconds);

// Delay seconds, or 120 ms per character plus 2 seconds when Delay is 0.
int ShowMsgTimerInterval(const QString &text, int delaySeconds);

// N(10 * ppi / 96): the vertical margin of the layout.
int ShowMsgMargin(int ppi);

struct TShowMsgLayoutInput
{
    int ppi = DesignPixelsPerInch;
    TMsgDialogType type = mdtInformation;
    QSize textExtent;       // TextExtentForFont of the text in the message font
    int iconHeight = 32;    // height of the icon list's pictures
};

struct TShowMsgLayout
{
    QSize client;
    QRect icon;
    QRect info;
    QRect left, center, close; // the three buttons (hidden ones included)
};

TShowMsgLayout ComputeShowMsgLayout(const TShowMsgLayoutInput &input);

class TShowMsgDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TShowMsgDialog(QWidget *parent = nullptr);
    ~TShowMsgDialog() override;

    // 0 for an empty text (nothing is shown); else the pressed button's
    // result, or Cancel when the timer, a key or the close box closes it.
    int Execute(const QPoint &APos, const QString &AHint, int Delay, TMsgDialogType DlgType,
                TMsgDlgBtn DefaultButton, TDefaultMonitor AMonitor);

    bool RunTimer() const { return FRunTimer; }
    const TImageList &Icons() const { return ilIcons; }
    const TImageList &Glyphs() const { return ilGlyphs; }

public Q_SLOTS:
    void reject() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void SetupButton(QPushButton *button, const TShowMsgButtonSpec &spec);
    void CloseWithCancel();

    QLabel *imgIcon = nullptr;
    QLabel *stInfo = nullptr;
    QPushButton *btLeft = nullptr;
    QPushButton *btCenter = nullptr;
    QPushButton *btClose = nullptr;
    QTimer *Timer = nullptr;
    TImageList ilIcons;
    TImageList ilGlyphs;
    bool FRunTimer = false;
    bool FFilterInstalled = false;
    int FShowCount = 0; // showings so far; tells a queued close which one it ends
};

// Runs Execute on a fresh dialog that is destroyed afterwards.
int ShowMsgDialogAt(const QPoint &APos, const QString &AText, int Delay, TMsgDialogType DlgType,
                    TMsgDlgBtn DefaultButton = mbYes, TDefaultMonitor AMonitor = dmActiveForm);

// Centred, no delay, mbYes, dmActiveForm.
int ShowMsgDialogCentred(const QString &AText, TMsgDialogType DlgType);

} // namespace dialogs
