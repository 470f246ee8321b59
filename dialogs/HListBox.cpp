#include "dialogs/HListBox.h"

#include "foundation/IniFile.h"

#include <QAction>
#include <QActionGroup>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFocusEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QProxyStyle>
#include <QResizeEvent>
#include <QSignalBlocker>
#include <QStyleOptionComboBox>

namespace dialogs {

using namespace foundation;

namespace {

// The first fifteen entries are numbered with one hexadecimal digit so that
// each number is a single hot key; later ones get two digits.
constexpr int OneDigitItems = 15;
const QString SingleBlank = QStringLiteral(" ");
const QString SingleBlankInIni = QStringLiteral("?");

bool SameText(const QString &a, const QString &b)
{
    return QString::compare(a, b, Qt::CaseInsensitive) == 0;
}

} // namespace

QString HistoryMenuCaption(int index, const QString &text, bool showHotKeys)
{
    const int width = index < OneDigitItems ? 1 : 2;
    QString caption = QStringLiteral("%1 %2")
                          .arg(QString::number(index + 1, 16).toUpper().rightJustified(width, u'0'), text);
    if (!showHotKeys)
        caption.replace(u'&', QStringLiteral("&&"));
    return caption;
}

int HistoryMenuNumber(const QString &caption)
{
    QString number = caption.section(u' ', 0, 0);
    const qsizetype amp = number.indexOf(u'&');
    if (amp >= 0)
        number.remove(amp, 1);
    bool ok = false;
    const int value = number.toInt(&ok, 16);
    return ok ? value : 0;
}

QString HistoryKey(int index)
{
    return QStringLiteral("History") + QString::number(index);
}

QString HistoryValueToIni(const QString &entry)
{
    return entry == SingleBlank ? SingleBlankInIni : entry;
}

QString HistoryValueFromIni(const QString &value)
{
    return value == SingleBlankInIni ? SingleBlank : value;
}

// ---------------------------------------------------------------------------
// THistoryList

THistoryList::THistoryList(QObject *parent) : QObject(parent) {}

THistoryList::~THistoryList()
{
    RemoveMenuItems();
}

QStringList THistoryList::Entries() const
{
    QStringList result;
    result.reserve(Count());
    for (const TEntry &entry : FItems)
        result.append(entry.text);
    return result;
}

int THistoryList::IndexOf(const QString &s) const
{
    for (int i = 0; i < Count(); ++i)
        if (SameText(FItems[static_cast<size_t>(i)].text, s))
            return i;
    return -1;
}

void THistoryList::AddString(const QString &s)
{
    AddStringObject(s, QVariant());
}

void THistoryList::AddStringObject(const QString &s, const QVariant &object)
{
    if (s.isEmpty())
        return;
    const int found = IndexOf(s);
    RemoveMenuItems();
    if (found >= 0)
        FItems.erase(FItems.begin() + found);
    InsertAtTop(s, object);
    BuildMenuItems();
    UpdateList();
}

void THistoryList::InsertAtTop(const QString &s, const QVariant &object)
{
    FItems.insert(FItems.begin(), TEntry{s, object});
    if (Count() > FMaxLen)
        FItems.pop_back();
}

void THistoryList::RemString(const QString &s)
{
    const int found = IndexOf(s);
    RemoveMenuItems();
    if (found >= 0)
        FItems.erase(FItems.begin() + found);
    BuildMenuItems();
    UpdateList();
}

void THistoryList::ClearAll()
{
    RemoveMenuItems();
    RemoveListCopy();
    FItems.clear();
}

bool THistoryList::SelectMenuItem(const QString &s)
{
    const int found = IndexOf(s);
    if (found < 0)
        return false;
    if (FMenu) {
        const QList<QAction *> actions = FMenu->actions();
        const int position = found + FMenuSizeBefore + FSeparatorCount;
        if (position < actions.size()) {
            actions[position]->setCheckable(true);
            actions[position]->setChecked(true);
        }
    }
    return true;
}

bool THistoryList::SaveToIni(const QString &iniName, const QString &iniSection, bool erase) const
{
    TIniFile ini(iniName);
    bool ok = true;
    if (erase)
        ok = ini.EraseSection(iniSection);
    for (int i = 0; i < Count(); ++i)
        ok = ini.WriteString(iniSection, HistoryKey(i), HistoryValueToIni(Strings(i))) && ok;
    return ok;
}

void THistoryList::LoadFromIni(const QString &iniName, const QString &iniSection)
{
    FItems.clear();
    const TIniFile ini(iniName);
    for (int i = 0; i < FMaxLen; ++i) {
        const QString value = HistoryValueFromIni(ini.ReadString(iniSection, HistoryKey(i), QString()));
        if (!value.isEmpty())
            FItems.push_back(TEntry{value, QVariant()});
    }
}

void THistoryList::AssignList(const QStringList &list)
{
    FItems.clear();
    const qsizetype count = std::min<qsizetype>(FMaxLen, list.size());
    for (qsizetype i = 0; i < count; ++i)
        FItems.push_back(TEntry{list[i], QVariant()});
}

void THistoryList::SetMaxLen(int value)
{
    if (value < 1 || value > MaxMaxLen)
        return;
    FMaxLen = value;
    while (Count() > FMaxLen)
        FItems.pop_back();
}

void THistoryList::SetMenu(QMenu *menu)
{
    RemoveMenuItems();
    FMenu = menu;
    FSeparatorCount = 0;
    FMenuSizeBefore = menu ? static_cast<int>(menu->actions().size()) : 0;
    BuildMenuItems();
}

void THistoryList::SetMenu2(QMenu *menu)
{
    ClearMenu2();
    FMenu2 = menu;
}

void THistoryList::SetStrList(QStringList *list)
{
    RemoveListCopy();
    FList = list;
    FListSizeBefore = list ? static_cast<int>(list->size()) : 0;
    AppendListCopy();
}

void THistoryList::SetShowHotKeys(bool value)
{
    if (value == FShowHotKeys)
        return;
    RemoveMenuItems();
    FShowHotKeys = value;
    BuildMenuItems();
}

void THistoryList::SetRadioMenu(bool value)
{
    if (value == FRadioMenu)
        return;
    RemoveMenuItems();
    FRadioMenu = value;
    BuildMenuItems();
}

void THistoryList::RemoveMenuItems()
{
    FCheckedItem.clear();
    if (FMenu) {
        QList<QAction *> actions = FMenu->actions();
        while (actions.size() > FMenuSizeBefore) {
            QAction *last = actions.takeLast();
            const int entry = static_cast<int>(actions.size()) - FMenuSizeBefore - FSeparatorCount;
            // Items can outlive their entries (a smaller MaxLen, a load), so
            // only an entry that still exists is remembered.
            if (last->isChecked() && entry >= 0 && entry < Count())
                FCheckedItem = Strings(entry);
            FMenu->removeAction(last);
            DisposeMenuItem(last);
        }
    }
    ClearMenu2();
    if (FRadioGroup)
        FRadioGroup->deleteLater();
    FRadioGroup = nullptr;
    if (FRadioGroup2)
        FRadioGroup2->deleteLater();
    FRadioGroup2 = nullptr;
}

// The item may be the one whose click is being handled (a click that opens a
// file adds it to the history, which rebuilds the menu), so it goes once the
// click is over.
void THistoryList::DisposeMenuItem(QAction *item)
{
    item->disconnect(this);
    item->deleteLater();
}

void THistoryList::ClearMenu2()
{
    if (!FMenu2)
        return;
    for (QAction *action : FMenu2->actions()) {
        FMenu2->removeAction(action);
        DisposeMenuItem(action);
    }
}

QAction *THistoryList::NewMenuItem(QMenu *menu, const QString &caption)
{
    auto *item = new QAction(caption, menu);
    connect(item, &QAction::triggered, this, [this, item] { MenuItemClick(item); });
    return item;
}

void THistoryList::BuildMenuItems()
{
    if (!FMenu)
        return;
    if (FMenuSizeBefore > 0) {
        FMenu->addSeparator();
        FSeparatorCount = 1;
    }
    if (FRadioMenu) {
        FRadioGroup = new QActionGroup(this);
        FRadioGroup->setExclusive(true);
    }
    for (int i = 0; i < Count(); ++i) {
        QAction *item = NewMenuItem(FMenu, HistoryMenuCaption(i, Strings(i), FShowHotKeys));
        if (FRadioMenu) {
            item->setCheckable(true);
            item->setChecked(Strings(i) == FCheckedItem);
            FRadioGroup->addAction(item);
        }
        FMenu->addAction(item);
    }
    CopyItemsToMenu2();
}

void THistoryList::CopyItemsToMenu2()
{
    if (!FMenu2)
        return;
    ClearMenu2();
    if (FRadioMenu) {
        FRadioGroup2 = new QActionGroup(this);
        FRadioGroup2->setExclusive(true);
    }
    const QList<QAction *> source = FMenu->actions();
    for (qsizetype i = FMenuSizeBefore; i < source.size(); ++i) {
        const QAction *original = source[i];
        QAction *copy = original->isSeparator() ? new QAction(FMenu2)
                                                : NewMenuItem(FMenu2, original->text());
        copy->setSeparator(original->isSeparator());
        copy->setShortcut(original->shortcut());
        copy->setCheckable(original->isCheckable());
        copy->setChecked(original->isChecked());
        copy->setEnabled(original->isEnabled());
        copy->setVisible(original->isVisible());
        copy->setToolTip(original->toolTip());
        copy->setStatusTip(original->statusTip());
        copy->setWhatsThis(original->whatsThis());
        if (FRadioGroup2 && original->actionGroup())
            FRadioGroup2->addAction(copy);
        FMenu2->addAction(copy);
    }
}

void THistoryList::MenuItemClick(QAction *item)
{
    item->setCheckable(true);
    item->setChecked(true);
    const int number = HistoryMenuNumber(item->text());
    // A caption that no longer matches an entry (the list shrank since the
    // menu was built) is ignored instead of reading past the end.
    if (number <= 0 || number > Count())
        return;
    if (FOnAutoItemClick)
        FOnAutoItemClick(FMenu, Strings(number - 1));
    else if (FOnAutoItemClickIndex)
        FOnAutoItemClickIndex(FMenu, number - 1);
}

void THistoryList::RemoveListCopy()
{
    if (!FList)
        return;
    while (FList->size() > FListSizeBefore)
        FList->removeLast();
}

void THistoryList::AppendListCopy()
{
    if (!FList)
        return;
    for (const TEntry &entry : FItems)
        FList->append(entry.text);
}

void THistoryList::UpdateList()
{
    RemoveListCopy();
    AppendListCopy();
}

// ---------------------------------------------------------------------------
// THistoryCombo

// Presents a history combo box without entries as a plain text field: no
// drop-down button, and an edit field across the whole box.
class THistoryComboStyle : public QProxyStyle
{
public:
    explicit THistoryComboStyle(THistoryCombo *combo) : FCombo(combo) {}

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option,
                            QPainter *painter, const QWidget *widget) const override
    {
        if (control == CC_ComboBox && IsPlain(widget)) {
            QStyleOptionFrame frame = LineEditFrame(option, widget);
            baseStyle()->drawPrimitive(PE_PanelLineEdit, &frame, painter, widget);
            return;
        }
        QProxyStyle::drawComplexControl(control, option, painter, widget);
    }

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex *option,
                         SubControl sub, const QWidget *widget) const override
    {
        if (control == CC_ComboBox && IsPlain(widget)) {
            if (sub == SC_ComboBoxArrow)
                return QRect();
            if (sub == SC_ComboBoxEditField) {
                QStyleOptionFrame frame = LineEditFrame(option, widget);
                return baseStyle()->subElementRect(SE_LineEditContents, &frame, widget);
            }
        }
        return QProxyStyle::subControlRect(control, option, sub, widget);
    }

    SubControl hitTestComplexControl(ComplexControl control, const QStyleOptionComplex *option,
                                     const QPoint &pos, const QWidget *widget) const override
    {
        if (control == CC_ComboBox && IsPlain(widget))
            return SC_ComboBoxEditField;
        return QProxyStyle::hitTestComplexControl(control, option, pos, widget);
    }

private:
    bool IsPlain(const QWidget *widget) const { return widget == FCombo && !FCombo->HasDropDown(); }

    QStyleOptionFrame LineEditFrame(const QStyleOptionComplex *option, const QWidget *widget) const
    {
        QStyleOptionFrame frame;
        frame.QStyleOption::operator=(*option);
        frame.lineWidth = baseStyle()->pixelMetric(PM_DefaultFrameWidth, option, widget);
        frame.midLineWidth = 0;
        frame.state |= State_Sunken;
        frame.features = QStyleOptionFrame::None;
        return frame;
    }

    const THistoryCombo *FCombo;
};

THistoryCombo::THistoryCombo(QWidget *parent) : QComboBox(parent)
{
    setEditable(true);
    // The history decides what the list holds; Enter must not add items.
    setInsertPolicy(QComboBox::NoInsert);
    setDuplicatesEnabled(true);
    FStyle = new THistoryComboStyle(this);
    FStyle->setParent(this);
    setStyle(FStyle);
    UpdateList();
}

THistoryCombo::~THistoryCombo()
{
    if (!FIniFileName.isEmpty() && !FIniSection.isEmpty())
        FHistoryList.SaveToIni(FIniFileName, FIniSection, FEraseSection);
}

void THistoryCombo::Loaded()
{
    if (FIniFileName.isEmpty() || FIniSection.isEmpty())
        return;
    FHistoryList.LoadFromIni(FIniFileName, FIniSection);
    UpdateList();
}

void THistoryCombo::LoadFromIni(const QString &iniName, const QString &iniSection)
{
    FIniFileName = iniName;
    FIniSection = iniSection;
    if (!QFileInfo::exists(iniName) || iniSection.isEmpty())
        return;
    FHistoryList.LoadFromIni(iniName, iniSection);
    UpdateList();
}

void THistoryCombo::AssignList(const QStringList &list)
{
    FHistoryList.AssignList(list);
    UpdateList();
}

void THistoryCombo::AddItem(const QString &s)
{
    FHistoryList.AddString(s);
    UpdateList();
}

void THistoryCombo::AddItemObject(const QString &s, const QVariant &object)
{
    FHistoryList.AddStringObject(s, object);
    UpdateList();
}

void THistoryCombo::DeleteItem(const QString &s)
{
    FHistoryList.RemString(s);
    UpdateList();
}

int THistoryCombo::FindItem(const QString &text) const
{
    for (int i = 0; i < FHistoryList.Count(); ++i)
        if (FHistoryList.Strings(i).startsWith(text, Qt::CaseInsensitive))
            return i;
    return -1;
}

void THistoryCombo::UpdateList()
{
    const QString text = currentText();
    const int cursor = lineEdit() ? lineEdit()->cursorPosition() : 0;
    {
        // Refilling the list would replace the field's text; the user's text stays.
        const QSignalBlocker blocker(this);
        clear();
        for (int i = 0; i < FHistoryList.Count(); ++i)
            addItem(FHistoryList.Strings(i), FHistoryList.Objects(i));
        setCurrentIndex(-1);
        setEditText(text);
        if (lineEdit())
            lineEdit()->setCursorPosition(cursor);
    }
    const bool dropDown = FHistoryList.Count() > 0 && !FReadOnly;
    if (dropDown != FDropDown) {
        FDropDown = dropDown;
        if (!dropDown)
            hidePopup();
        // The edit field's geometry follows the style's edit rectangle, which
        // QComboBox recomputes on resizing.
        QResizeEvent resize(size(), size());
        QCoreApplication::sendEvent(this, &resize);
        updateGeometry();
        update();
    }
}

void THistoryCombo::SetReadOnly(bool value)
{
    if (value == FReadOnly)
        return;
    FReadOnly = value;
    UpdateList();
}

void THistoryCombo::showPopup()
{
    if (FDropDown)
        QComboBox::showPopup();
}

// Opening the drop-down list or switching to another window moves the focus
// without the user leaving the field; only real focus changes count.
static bool IsFieldChange(const QFocusEvent *event)
{
    return event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason;
}

void THistoryCombo::focusInEvent(QFocusEvent *event)
{
    QComboBox::focusInEvent(event);
    if (IsFieldChange(event))
        DoEnter();
}

void THistoryCombo::focusOutEvent(QFocusEvent *event)
{
    QComboBox::focusOutEvent(event);
    if (IsFieldChange(event))
        DoExit();
}

void THistoryCombo::DoEnter()
{
    if (!FModified)
        FSaveText = currentText();
}

void THistoryCombo::DoExit()
{
    FModified = !SameText(currentText(), FSaveText);
    if (FAutoUpdate) {
        FHistoryList.AddString(currentText());
        UpdateList();
    }
}

} // namespace dialogs
