#include "dialogs/ShowMessageDlg.h"
#include "dialogs/gallery/Gallery.h"
#include "dialogs/gallery/WinUtilsSample.h"

#include <QTextStream>

using namespace dialogs;

using namespace dialogs;

namespace {

TMsgDialogType TypeFromName(const QString &name)
{
    static const char *const names[] = {"information",  "warning",       "error",
                                        "confirm",      "confirm-error", "confirm-retry",
                                        "confirm-cancel", "confirm-yes-no", "custom"};
    for (int i = 0; i <= mdtCustom; ++i)
        if (name == QLatin1String(names[i]))
            return TMsgDialogType(i);
    return mdtConfirmYesNo;
}

TMsgDlgBtn ButtonFromName(const QString &name)
{
    if (name == QLatin1String("no"))
        return mbNo;
    if (name == QLatin1String("retry"))
        return mbRetry;
    return mbYes;
}

int ShowTimed(const QStringList &options)
{
    GalleryStartTranslation();
    const QString text = GalleryOption(
        options, "text",
        QStringLiteral("The file \"backup-2026-12-09.gze\" already exists.\r\n"
                       "Do you want to replace it with the unpacked data?"));
    GalleryScheduleScreenshot(options);
    const int result = ShowMsgDialogAt(
        GalleryPosition(options), text, GalleryIntOption(options, "delay", 0),
        TypeFromName(GalleryOption(options, "type", "confirm-yes-no")),
        ButtonFromName(GalleryOption(options, "default", "yes")));
    QTextStream(stdout) << "result " << result << "\n";
    return 0;
}

const GalleryRegistration registration(
    "timed",
    "timed [--type information|warning|error|confirm|confirm-error|confirm-retry|"
    "confirm-cancel|confirm-yes-no|custom] [--text TEXT] [--delay SECONDS] "
    "[--default yes|no|retry] [--pos X,Y] [--screenshot FILE] [-lang:CODE]",
    &ShowTimed);

} // namespace
