#include "packprobe/gui/PackprobeWindow.h"

#include "packprobe/gui/PackprobeMain.h"

#include <QApplication>

namespace packprobe {

int RunPackprobeWindow(int &argc, char **argv, const QString &fileName)
{
    QApplication app(argc, argv);
    TPackprobeForm form(DefaultPackprobePaths());
    form.SetStartFile(fileName);
    form.show();
    return app.exec();
}

} // namespace packprobe
