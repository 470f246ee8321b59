#include "packprobe/gui/PackprobeWindow.h"

#include "packprobe/gui/PackprobeMain.h"
#include "packprobe/core/PackprobeCli.h"

#include "dialogs/DisplayCheck.h"
#include "foundation/LangUtils.h"

#include <QApplication>
#include <QTextStream>

namespace packprobe {

int RunPackprobeWindow(int &argc, char **argv, const QString &fileName)
{
    if (!dialogs::DisplayAvailable()) {
        QTextStream(stderr) << "packprobe: " << dialogs::NoDisplayText() << ' '
                            << Translate("Use --report FILE to analyse a file without the window.")
                            << '\n';
        return ExitUsage;
    }
    QApplication app(argc, argv);
    TPackprobeForm form(DefaultPackprobePaths());
    form.SetStartFile(fileName);
    form.show();
    return app.exec();
}

} // namespace packprobe
