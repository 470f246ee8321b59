#include "packprobe/gui/PackprobeWindow.h"

#include "packprobe/gui/PackprobeMain.h"
#include "packprobe/core/PackprobeCli.h"

#include "dialogs/DisplayCheck.h"
#include "foundation/LangUtils.h"

#include <QApplication>
#include <QIcon>
#include <QTextStream>

namespace packprobe {

using namespace foundation;
using namespace dialogs;

int RunPackprobeWindow(int &argc, char **argv, const QString &fileName)
{
    if (!dialogs::DisplayAvailable()) {
        QTextStream(stderr) << "packprobe: " << dialogs::NoDisplayText() << ' '
                            << Translate("Use --report FILE to analyse a file without the window.")
                            << '\n';
        return ExitUsage;
    }
    QApplication app(argc, argv);
    // The icon is built into the program (desktop/icons); the desktop entry's
    // name lets a Wayland desktop match the window to it.
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/org.mendprobe.Packprobe.svg")));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.mendprobe.Packprobe"));
    TPackprobeForm form(DefaultPackprobePaths());
    form.SetStartFile(fileName);
    form.show();
    return app.exec();
}

} // namespace packprobe
