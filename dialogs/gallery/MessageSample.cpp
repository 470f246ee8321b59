#include "dialogs/MsgDialogs.h"
#include "dialogs/gallery/Gallery.h"
#include "dialogs/gallery/WinUtilsSample.h"

#include <QTextStream>

using namespace dialogs;

using namespace dialogs;

namespace {

int ShowMessage(const QStringList &options)
{
    GalleryStartTranslation();
    const QString type = GalleryOption(options, "type", "error");
    const QString title = GalleryOption(options, "title");
    const QString text = GalleryOption(
        options, "text",
        type == QLatin1String("information")
            ? QStringLiteral("Only one Thunderbird profile was found; it is selected.")
            : QStringLiteral("Thunderbird is still running.\nPlease close it and try again."));
    const QPoint pos = GalleryPosition(options);
    GalleryScheduleScreenshot(options);
    int result = 0;
    if (type == QLatin1String("information"))
        result = InfoDialogAt(pos, title, text);
    else if (type == QLatin1String("warning"))
        result = MessageDialogAt(title, text, mtWarning, mbOK | mbCancel, 0, pos);
    else if (type == QLatin1String("confirm"))
        result = MessageDialogAt(title, text, mtConfirmation, mbYes | mbNo, 0, pos);
    else
        result = ErrorDialogAt(pos, title, text);
    QTextStream(stdout) << "result " << result << "\n";
    return 0;
}

const GalleryRegistration registration(
    "message",
    "message [--type error|information|warning|confirm] [--title TEXT] [--text TEXT] "
    "[--pos X,Y] [--screenshot FILE] [-lang:CODE]",
    &ShowMessage);

} // namespace
