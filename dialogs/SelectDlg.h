#pragma once

// A modal message box whose buttons the caller names: a title, a message of
// one or more CR LF separated lines with the icon of its message type, an
// optional check box, and a grid of buttons (the caller's, then a cancel
// button that the dialog adds itself).
//
// Results: -1 for the cancel button, Escape or the close box; the index of the
// caller's button; that index + 256 when the check box is shown and ticked.

#include "dialogs/MsgDialogs.h"
#include "dialogs/WinUtils.h"

#include <QDialog>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

class QCheckBox;
class QLabel;
class QPushButton;

namespace dialogs {

// Font style flags of the message text; only bold changes the layout.
enum TFontStyle { fsBold = 0x1, fsItalic = 0x2, fsUnderline = 0x4, fsStrikeOut = 0x8 };
Q_DECLARE_FLAGS(TFontStyles, TFontStyle)
Q_DECLARE_OPERATORS_FOR_FLAGS(TFontStyles)

inline constexpr int SelectOptionBit = 256;
inline constexpr int SelectDefaultButtonWidth = 105;

// What the layout of the choice dialog depends on. Lengths in pixels; the
// design lengths (margins, button width) are given for 96 pixels per inch and
// scaled by ppi / 96.
struct TSelectLayoutInput
{
    int ppi = DesignPixelsPerInch;
    int fontHeight = 11;     // absolute pixel height of the message font (h)
    int textWidth = 0;       // widest message line in the dialog's font, regular weight
    bool bold = false;       // bold text counts 5/4 of its regular width
    int lineCount = 1;       // TextLineCount of the message
    int buttonCount = 0;     // caller buttons (n); one cancel button is added
    int buttonWidth = 0;     // at 96 pixels per inch; 0 means 105
    bool hasOption = false;  // a check box is shown
    int optionHeight = 26;   // its height in pixels
};

struct TSelectLayout
{
    QRect icon;                 // 32 x 32 picture area (before scaling of the picture)
    QRect caption;              // the message text
    QRect option;               // the check box (empty when none)
    QList<QRect> buttons;       // n + 1 rectangles, the cancel button last
    QSize client;               // client area of the dialog
    int buttonHeight = 0;
    int rowStep = 0;            // vertical distance between button rows
};

TSelectLayout ComputeSelectLayout(const TSelectLayoutInput &input);

// Index of the button that gets the focus (n = the cancel button) for a
// preselection value with n caller buttons.
int SelectFocusIndex(int preSelection, int buttonCount);

// Whether the check box starts ticked.
bool SelectOptionStartsChecked(int preSelection);

// The dialog's result from the pressed button's tag and the check box.
int SelectResult(int selection, bool optionChecked);

class TSelectDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TSelectDialog(QWidget *parent = nullptr);
    ~TSelectDialog() override;

    // Shows the dialog modally at APos (a negative coordinate centres it)
    // and returns the result value. ButtonWidth 0 means 105; an empty
    // DefaultButton captions the cancel button "Cancel".
    int Execute(const QPoint &APos, const QString &ATitle, const QString &ACaption,
                TMsgDlgType DlgType, TFontStyles ACaptionFormat, const QStringList &AButtons,
                const QString &AOption = QString(), int ButtonWidth = 0, int PreSelection = -1,
                const QString &DefaultButton = QString());

    // Whether the system reported an active screen reader at creation.
    bool ActiveScreenReader() const { return FActiveScreenReader; }
    // For tests and the gallery: pretend a screen reader is (not) active.
    void SetActiveScreenReader(bool active) { FActiveScreenReader = active; }

    // The buttons of the call in progress, in index order (empty between calls).
    const QList<QPushButton *> &Buttons() const { return FButtons; }
    int Selection() const { return FSelection; }

public Q_SLOTS:
    void reject() override;

private Q_SLOTS:
    void ButtonClick();

private:
    void FormCreate();
    void BuildButtons(const TSelectLayout &layout, const QStringList &captions,
                      const QString &cancelCaption);
    void ReleaseButtons();

    QLabel *imgIcon = nullptr;
    QLabel *stCaption = nullptr;
    QCheckBox *cbOption = nullptr;
    TImageList ilIcons;
    QList<QPushButton *> FButtons;
    int FSelection = -1;
    bool FActiveScreenReader = false;
};

// The shared instance (created by the program at start-up, or by
// ExecuteSelectDialog for one call).
extern TSelectDialog *SelectDialog;

// Execute at the default position (centred) on the shared instance, which is
// created when missing and released afterwards.
int ExecuteSelectDialog(const QString &ATitle, const QString &ACaption, TMsgDlgType DlgType,
                        TFontStyles ACaptionFormat, const QStringList &AButtons,
                        const QString &AOption = QString(), int ButtonWidth = 0,
                        int PreSelection = -1, const QString &DefaultButton = QString());

} // namespace dialogs
