#pragma once

// Most-recently-used lists of texts (in practice file names) that survive
// program runs: THistoryList keeps the entries and can mirror them into menus
// and an external string list; THistoryCombo is an editable combo box whose
// drop-down list is such a history.

#include <QComboBox>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <vector>

class QAction;
class QActionGroup;

namespace dialogs {

// Caption of the menu item for entry `index` (0-based): the number index + 1
// in upper-case hexadecimal, one digit wide for the first fifteen entries
// (1 … F) and two for later ones (10, 11, …), a blank and the text. Without
// hot keys every "&" is doubled so that it shows literally.
QString HistoryMenuCaption(int index, const QString &text, bool showHotKeys);

// The entry number a history menu caption stands for: the part before the
// first blank without its first "&", read as hexadecimal. 0 when that part is
// no hexadecimal number.
int HistoryMenuNumber(const QString &caption);

// Values under which a history entry is stored in a settings section: a
// single blank would not survive the settings file and is written as "?".
QString HistoryKey(int index);
QString HistoryValueToIni(const QString &entry);
QString HistoryValueFromIni(const QString &value);

class THistoryList : public QObject
{
public:
    // Sender is the attached menu `Menu()`.
    using TListMenuEvent = std::function<void(QObject *sender, const QString &menuText)>;
    using TListMenuEventIndex = std::function<void(QObject *sender, int index)>;

    static constexpr int DefaultMaxLen = 15;
    static constexpr int MaxMaxLen = 100;

    explicit THistoryList(QObject *parent = nullptr);
    ~THistoryList() override;

    // The entries, newest first.
    int Count() const { return static_cast<int>(FItems.size()); }
    QString Strings(int index) const { return FItems.at(index).text; }
    QVariant Objects(int index) const { return FItems.at(index).object; }
    QStringList Entries() const;
    // Position of the first entry equal to s without regard to letter case, or -1.
    int IndexOf(const QString &s) const;

    // Move-to-top insertion: an empty text changes nothing; a text already
    // present (letter case ignored) moves to the top in the new spelling; the
    // oldest entry drops out when the list exceeds MaxLen.
    void AddString(const QString &s);
    void AddStringObject(const QString &s, const QVariant &object);
    void RemString(const QString &s);
    void ClearAll();
    // Checks the menu item of the entry equal to s; true when s is an entry.
    bool SelectMenuItem(const QString &s);

    // Writes the entries as History0, History1, … into the section; with
    // erase set the section is emptied first. False when a write failed.
    bool SaveToIni(const QString &iniName, const QString &iniSection, bool erase) const;
    // Replaces the entries by the non-empty values History0 … History<MaxLen-1>.
    void LoadFromIni(const QString &iniName, const QString &iniSection);
    // Replaces the entries by the first MaxLen lines of the list.
    void AssignList(const QStringList &list);

    int MaxLen() const { return FMaxLen; }
    // Values outside 1..100 are ignored; a smaller maximum drops entries from the end.
    void SetMaxLen(int value);

    QMenu *Menu() const { return FMenu; }
    void SetMenu(QMenu *menu);
    QMenu *Menu2() const { return FMenu2; }
    void SetMenu2(QMenu *menu);
    QStringList *StrList() const { return FList; }
    void SetStrList(QStringList *list);

    bool ShowHotKeys() const { return FShowHotKeys; }
    void SetShowHotKeys(bool value);
    bool RadioMenu() const { return FRadioMenu; }
    void SetRadioMenu(bool value);

    void SetOnAutoItemClick(TListMenuEvent handler) { FOnAutoItemClick = std::move(handler); }
    void SetOnAutoItemClickIndex(TListMenuEventIndex handler) { FOnAutoItemClickIndex = std::move(handler); }

    int SeparatorCount() const { return FSeparatorCount; }
    int MenuSizeBefore() const { return FMenuSizeBefore; }
    int ListSizeBefore() const { return FListSizeBefore; }

protected:
    // Called for a click on a history item of Menu() or Menu2().
    virtual void MenuItemClick(QAction *item);

private:
    struct TEntry
    {
        QString text;
        QVariant object;
    };

    void InsertAtTop(const QString &s, const QVariant &object);
    void RemoveMenuItems();
    void DisposeMenuItem(QAction *item);
    void ClearMenu2();
    void BuildMenuItems();
    void CopyItemsToMenu2();
    QAction *NewMenuItem(QMenu *menu, const QString &caption);
    void RemoveListCopy();
    void AppendListCopy();
    void UpdateList();

    std::vector<TEntry> FItems;
    int FMaxLen = DefaultMaxLen;
    QPointer<QMenu> FMenu;
    QPointer<QMenu> FMenu2;
    QStringList *FList = nullptr;
    QActionGroup *FRadioGroup = nullptr;
    QActionGroup *FRadioGroup2 = nullptr;
    int FSeparatorCount = 0;
    int FListSizeBefore = 0;
    int FMenuSizeBefore = 0;
    TListMenuEvent FOnAutoItemClick;
    TListMenuEventIndex FOnAutoItemClickIndex;
    bool FShowHotKeys = true;
    bool FRadioMenu = false;
    QString FCheckedItem;
};

class THistoryComboStyle;

class THistoryCombo : public QComboBox
{
public:
    explicit THistoryCombo(QWidget *parent = nullptr);
    ~THistoryCombo() override;

    THistoryList &HistoryList() { return FHistoryList; }
    const THistoryList &HistoryList() const { return FHistoryList; }

    // Loads the history from IniFileName/IniSection when both are set; the
    // owner calls it once the properties are set.
    void Loaded();
    // Remembers both names; loads only when the file exists and the section
    // name is non-empty, so that a first run still saves into the new file.
    void LoadFromIni(const QString &iniName, const QString &iniSection);
    void AssignList(const QStringList &list);
    void AddItem(const QString &s);
    void AddItemObject(const QString &s, const QVariant &object);
    void DeleteItem(const QString &s);
    // Position of the first history entry that begins with text (letter case ignored), or -1.
    int FindItem(const QString &text) const;
    // Copies the history into the drop-down list; without entries, or when
    // read-only, the box is a plain text field without drop-down button.
    void UpdateList();

    // True while the box shows its drop-down button and list.
    bool HasDropDown() const { return FDropDown; }

    bool Modified() const { return FModified; }
    void SetModified(bool value) { FModified = value; }
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value);
    bool AutoUpdate() const { return FAutoUpdate; }
    void SetAutoUpdate(bool value) { FAutoUpdate = value; }
    int MaxItems() const { return FHistoryList.MaxLen(); }
    void SetMaxItems(int value) { FHistoryList.SetMaxLen(value); }
    QString IniFileName() const { return FIniFileName; }
    void SetIniFileName(const QString &name) { FIniFileName = name; }
    QString IniSection() const { return FIniSection; }
    void SetIniSection(const QString &section) { FIniSection = section; }
    bool EraseSection() const { return FEraseSection; }
    void SetEraseSection(bool value) { FEraseSection = value; }

    void showPopup() override;

protected:
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void DoEnter();
    void DoExit();

    THistoryList FHistoryList;
    THistoryComboStyle *FStyle = nullptr;
    QString FSaveText;
    bool FModified = false;
    bool FReadOnly = false;
    bool FAutoUpdate = true;
    bool FDropDown = true;
    QString FIniFileName;
    QString FIniSection;
    bool FEraseSection = false;
};

} // namespace dialogs
