#pragma once

// The password dialog of the analyzer: a prompt of any length, a masked
// password field with a paste button, an optional choice of the AES key length
// and an optional Skip button. F11 shows the hint of the focused control.

#include <QByteArray>
#include <QDialog>
#include <QPoint>
#include <QString>

class QGroupBox;
class QKeyEvent;
class QShowEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;
class QWidget;

namespace packprobe {

// Heights of the parts at 96 pixels per inch.
inline constexpr int PwdTopHeight = 31;
inline constexpr int PwdInputHeight = 55;
inline constexpr int PwdEncryptHeight = 54;
inline constexpr int PwdBottomHeight = 41;
inline constexpr int PwdClientWidth = 342;
inline constexpr int PwdPromptLeft = 10;

// Height of the prompt for lineCount lines: (fontHeight + m) per line plus 2m.
int PasswordPromptHeight(int fontHeight, int margin, int lineCount);
// The margin m of the prompt: 2 pixels at 96 pixels per inch, scaled.
int PasswordPromptMargin(int ppi);
// The key length the depth group preselects for a key mode (0 automatic,
// 1 128 bit, 3 256 bit) and the key mode a choice stands for.
int PasswordDepthChoice(int encMode);

class TPasswordDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TPasswordDialog(QWidget *parent = nullptr);
    ~TPasswordDialog() override;

    // Shows the dialog modally at APos (a negative coordinate centres it) with
    // Title as caption and Prompt (lines separated by CR LF) in bold; the Skip
    // button only with Skip, the depth group only with Enc. On OK, Pwd gets
    // the typed text and, with Enc, EncMode the chosen depth; on any other
    // result neither changes. Returns 1 (OK), 2 (Cancel) or 6 (Skip).
    int Execute(const QPoint &APos, const QString &Title, const QString &Prompt, bool Skip, bool Enc,
                QString &Pwd, int &EncMode);
    // As above with the depth group hidden; on OK the text is converted to
    // the legacy 8-bit code page (characters it lacks become '?').
    int Execute(const QPoint &APos, const QString &Title, const QString &Prompt, bool Skip, bool Enc,
                QByteArray &Pwd, int &EncMode);
    // Without Skip; the analyzer's form.
    int Execute(const QPoint &APos, const QString &Title, const QString &Prompt, QByteArray &Pwd);
    // Centred.
    int Execute(const QString &Title, const QString &Prompt, QByteArray &Pwd);

    // The text F11 shows for a control: an edit field's placeholder, else its
    // hint (tool tip); empty when it has neither.
    static QString HintOf(const QWidget *control);

public Q_SLOTS:
    void reject() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void bbPasteClick();
    void ShowFocusHint();
    void LayoutPrompt(const QString &Prompt);
    void UpdateClientSize(bool Enc);

    QWidget *pnTop = nullptr;
    QLabel *lblPrompt = nullptr;
    QWidget *pnInput = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *edtPwd = nullptr;
    QToolButton *bbPaste = nullptr;
    QGroupBox *gbEncrypt = nullptr;
    QRadioButton *rbEncAuto = nullptr;
    QRadioButton *rbEnc128 = nullptr;
    QRadioButton *rbEnc256 = nullptr;
    QWidget *pnBottom = nullptr;
    QPushButton *btnSkip = nullptr;
    QPushButton *OKBtn = nullptr;
    QPushButton *CancelBtn = nullptr;
    int Hgt = PwdEncryptHeight;
    int FClientWidth = PwdClientWidth;
};

} // namespace packprobe
