#include "mailmend/gui/SelectProfileDlg.h"

#include "dialogs/WinUtils.h"
#include "foundation/LangUtils.h"
#include "mailmend/core/ProfileList.h"

#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>

namespace mailmend {

using namespace foundation;
using namespace dialogs;

namespace {

// The list entry's data: the index of its profile in the profile list.
constexpr int ProfileIndexRole = Qt::UserRole;

} // namespace

int ProfileEntryToSelect(const TProfileList &list, const QString &profile)
{
    return qMax(list.IndexOf(profile), 0);
}

TSelectProfileDialog::TSelectProfileDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("SelectProfileDialog"));
    setWindowTitle(N_("Multiple profiles found"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint);

    Label1 = new QLabel(N_("&Select Thunderbird profile:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    lbProfiles = new QListWidget(this);
    lbProfiles->setObjectName(QStringLiteral("lbProfiles"));
    lbProfiles->setMinimumSize(191, 111);
    Label1->setBuddy(lbProfiles);

    OKBtn = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), N_("&OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    OKBtn->setMinimumSize(101, 31);
    CancelBtn = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), N_("&Cancel"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setMinimumSize(101, 31);

    auto *layout = new QGridLayout(this);
    layout->setContentsMargins(5, 10, 6, 5);
    layout->addWidget(Label1, 0, 0, 1, 2);
    layout->addWidget(lbProfiles, 1, 0, 3, 1);
    layout->setRowStretch(1, 1);
    layout->addWidget(OKBtn, 2, 1);
    layout->addWidget(CancelBtn, 3, 1);
    layout->setColumnStretch(0, 1);

    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(lbProfiles, &QListWidget::itemDoubleClicked, this, [this] { lbProfilesDblClick(); });
    setTabOrder(lbProfiles, OKBtn);
    setTabOrder(OKBtn, CancelBtn);

    FormCreate();
    resize(qMax(311, sizeHint().width()), qMax(141, sizeHint().height()));
    if (ScalingSwitch() == 0)
        ScaleControlGlyphs(this, DesignPixelsPerInch, MonitorPixelsPerInch(this));
}

void TSelectProfileDialog::FormCreate()
{
    TranslateWindow(this, DefaultTextDomain);
}

void TSelectProfileDialog::lbProfilesDblClick()
{
    accept();
}

bool TSelectProfileDialog::Execute(const QPoint &APos, TProfileList &ProfList, QString &AProfile)
{
    lbProfiles->clear();
    for (int i = 0; i < ProfList.Count(); ++i) {
        auto *item = new QListWidgetItem(ProfList.Profile(i).ProfileName, lbProfiles);
        item->setData(ProfileIndexRole, i);
    }
    if (AProfile.isEmpty())
        AProfile = ProfList.DefaultProfile();
    if (lbProfiles->count() > 0)
        lbProfiles->setCurrentRow(ProfileEntryToSelect(ProfList, AProfile));
    lbProfiles->setFocus();
    SetFormPos(this, APos);

    if (exec() != QDialog::Accepted)
        return false;
    const QListWidgetItem *selected = lbProfiles->currentItem();
    const int index = selected ? selected->data(ProfileIndexRole).toInt() : 0;
    if (index < 0 || index >= ProfList.Count())
        return false;
    AProfile = ProfList.Name(index);
    return true;
}

} // namespace mailmend
