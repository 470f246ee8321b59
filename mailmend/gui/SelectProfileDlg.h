#pragma once

// The dialog in which the user picks one of several Thunderbird profiles.
// Created once and reused; every Execute rebuilds its list.

#include <QDialog>
#include <QPoint>
#include <QString>

class QLabel;
class QListWidget;
class QPushButton;

namespace mailmend {

class TProfileList;

// The list entry preselected for the current profile: the entry of that
// profile (its entry name, letter case ignored), else the first one. The
// entries show the profiles' display names ("Default user" for the default),
// so the text shown cannot identify the profile.
int ProfileEntryToSelect(const TProfileList &list, const QString &profile);

class TSelectProfileDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TSelectProfileDialog(QWidget *parent = nullptr);

    // Shows the profiles of ProfList at APos (a negative coordinate centres
    // the dialog), the entry of AProfile (or of the default profile when it
    // is empty) selected. True when the user confirmed; AProfile then holds
    // the chosen profile's entry name. Otherwise AProfile is unchanged, or
    // the default profile when it came empty.
    bool Execute(const QPoint &APos, TProfileList &ProfList, QString &AProfile);

private:
    void FormCreate();
    void lbProfilesDblClick();

    QLabel *Label1 = nullptr;
    QListWidget *lbProfiles = nullptr;
    QPushButton *OKBtn = nullptr;
    QPushButton *CancelBtn = nullptr;
};

} // namespace mailmend
