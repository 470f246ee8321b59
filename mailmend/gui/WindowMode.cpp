#include "mailmend/gui/WindowMode.h"

#include "dialogs/SelectDlg.h"
#include "mailmend/gui/MainForm.h"

#include <QApplication>

#include <memory>

namespace mailmend {

int RunWindowMode(int &argc, char **argv, const QString &thunderbirdFolder)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Mailmend"));

    // The shared choice dialog lives as long as the program.
    std::unique_ptr<TSelectDialog> selectDialog(new TSelectDialog);
    SelectDialog = selectDialog.get();
    int result = 0;
    {
        TMainForm form(thunderbirdFolder);
        if (form.FormShow()) {
            form.show();
            result = QApplication::exec();
        }
    }
    SelectDialog = nullptr;
    return result;
}

} // namespace mailmend
