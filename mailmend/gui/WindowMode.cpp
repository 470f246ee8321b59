#include "mailmend/gui/WindowMode.h"

#include "dialogs/DisplayCheck.h"
#include "dialogs/SelectDlg.h"
#include "foundation/InitProg.h"
#include "mailmend/gui/MainForm.h"

#include <QApplication>
#include <QIcon>
#include <QTextStream>

#include <memory>

namespace mailmend {

using namespace foundation;
using namespace dialogs;

int RunWindowMode(int &argc, char **argv, const QString &thunderbirdFolder)
{
    // Without a display Qt would abort the program instead of saying why.
    if (!dialogs::DisplayAvailable()) {
        QTextStream(stderr) << "mailmend: " << dialogs::NoDisplayText() << '\n';
        return ExitUsage;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Mailmend"));
    // The icon is built into the program (desktop/icons); the desktop entry's
    // name lets a Wayland desktop match the window to it.
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/org.mendprobe.Mailmend.svg")));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.mendprobe.Mailmend"));

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
