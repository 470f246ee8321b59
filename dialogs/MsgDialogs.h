#pragma once

// The platform's standard message box shown at a point that the caller
// chooses (usually next to the control the message concerns), with an
// optional title of the caller's own. Also home of the message types, button
// sets and modal results that all dialogs of the library share.

#include "dialogs/WinUtils.h"

#include <QFlags>
#include <QPoint>
#include <QString>

class QMessageBox;

namespace dialogs {

// Message type: selects the icon and the standard caption.
enum TMsgDlgType { mtWarning = 0, mtError = 1, mtInformation = 2, mtConfirmation = 3, mtCustom = 4 };

// One standard button.
enum TMsgDlgBtn {
    mbYes = 0x1,
    mbNo = 0x2,
    mbOK = 0x4,
    mbCancel = 0x8,
    mbAbort = 0x10,
    mbRetry = 0x20,
    mbIgnore = 0x40,
    mbAll = 0x80,
    mbNoToAll = 0x100,
    mbYesToAll = 0x200,
    mbHelp = 0x400,
    mbClose = 0x800,
};
Q_DECLARE_FLAGS(TMsgDlgButtons, TMsgDlgBtn)
Q_DECLARE_OPERATORS_FOR_FLAGS(TMsgDlgButtons)

// Modal results.
enum TModalResult : int {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrAbort = 3,
    mrRetry = 4,
    mrIgnore = 5,
    mrYes = 6,
    mrNo = 7,
    mrClose = 8,
    mrHelp = 9,
    mrAll = 12,
    mrNoToAll = 13,
    mrYesToAll = 14,
};

// Default button when the caller names none: OK if the set has it, else Yes
// if it has that, else Retry.
TMsgDlgBtn DefaultButtonFor(TMsgDlgButtons buttons);

// The standard caption of a message type, translated ("Warning", "Error",
// "Information", "Confirm"; the application's name for mtCustom).
QString MessageTypeCaption(TMsgDlgType type);

// True when the box is centred: only when both coordinates are negative.
bool MessageBoxCentred(const QPoint &pos);

// Where a message box of the given (frame) size is placed: std::nullopt when
// centred, else pos moved into the work area by FitToWorkArea.
std::optional<QPoint> MessageBoxPosition(const QPoint &pos, const QSize &boxSize,
                                         const QRect &workArea);

// The box's client width after the title rule: widened to titleWidth + 50
// when it is narrower than that.
int MessageBoxWidthForTitle(int clientWidth, int titleWidth);

// Modal result of one standard button.
int ModalResultOf(TMsgDlgBtn button);

// Creates the message box (without showing it); MessageDialogAt uses it, and
// tests and callers that need the object before it is shown may too. The box
// places itself, applies the title rule and stays on top when it is shown.
// defaultButton 0 picks DefaultButtonFor(buttons).
QMessageBox *CreateMessageDialogAt(const QString &title, const QString &message,
                                   TMsgDlgType type, TMsgDlgButtons buttons,
                                   int defaultButton, const QPoint &pos,
                                   TDefaultMonitor monitor, QWidget *parent = nullptr);

// Shows the box modally and returns the modal result of the pressed button.
// An empty title keeps the type's standard caption.
int MessageDialogAt(const QString &title, const QString &message, TMsgDlgType type,
                    TMsgDlgButtons buttons, int defaultButton, const QPoint &pos,
                    TDefaultMonitor monitor = dmActiveForm);

int InfoDialogAt(const QPoint &pos, const QString &title, const QString &message,
                 TDefaultMonitor monitor = dmActiveForm);
int InfoDialogAt(const QPoint &pos, const QString &message,
                 TDefaultMonitor monitor = dmActiveForm);
int InfoDialog(const QString &message, TDefaultMonitor monitor = dmActiveForm);

int ErrorDialogAt(const QPoint &pos, const QString &title, const QString &message,
                  TDefaultMonitor monitor = dmActiveForm);
int ErrorDialogAt(const QPoint &pos, const QString &message,
                  TDefaultMonitor monitor = dmActiveForm);
int ErrorDialog(const QString &message, TDefaultMonitor monitor = dmActiveForm);

} // namespace dialogs
