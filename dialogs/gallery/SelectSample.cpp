#include "dialogs/SelectDlg.h"
#include "dialogs/gallery/Gallery.h"
#include "dialogs/gallery/WinUtilsSample.h"

#include <QTextStream>

using namespace dialogs;

using namespace dialogs;

namespace {

TMsgDlgType TypeFromName(const QString &name)
{
    if (name == QLatin1String("warning"))
        return mtWarning;
    if (name == QLatin1String("error"))
        return mtError;
    if (name == QLatin1String("information"))
        return mtInformation;
    if (name == QLatin1String("custom"))
        return mtCustom;
    return mtConfirmation;
}

int ShowSelect(const QStringList &options)
{
    GalleryStartTranslation();
    // Sample content (not translated: it stands for a caller's texts).
    const QStringList sampleButtons = {"Recover", "Skip",    "Recover all",
                                       "Show mails", "Details", "Help"};
    const int count = qBound(0, GalleryIntOption(options, "buttons", 2), int(sampleButtons.size()));
    const QString caption =
        GalleryOption(options, "text",
                      QStringLiteral("Folder \"Inbox\": 3 deleted mails found.\r\n"
                                     "Do you want to recover them now?"));
    const QString option = GalleryFlag(options, "no-option")
                               ? QString()
                               : GalleryOption(options, "option",
                                               QStringLiteral("Also mark the mails as unread"));
    TFontStyles style;
    if (GalleryFlag(options, "bold"))
        style |= fsBold;

    TSelectDialog dialog;
    if (GalleryFlag(options, "screen-reader"))
        dialog.SetActiveScreenReader(true);
    GalleryScheduleScreenshot(options);
    const int result = dialog.Execute(
        GalleryPosition(options), GalleryOption(options, "title", "Recover deleted mails"),
        caption, TypeFromName(GalleryOption(options, "type", "confirmation")), style,
        sampleButtons.mid(0, count), option, GalleryIntOption(options, "width", 0),
        GalleryIntOption(options, "preselect", 0));
    QTextStream(stdout) << "result " << result << "\n";
    return 0;
}

const GalleryRegistration registration(
    "select",
    "select [--buttons 0-6] [--text TEXT] [--option TEXT|--no-option] [--bold] "
    "[--type warning|error|information|confirmation|custom] [--width PX] [--preselect N] "
    "[--screen-reader] [--pos X,Y] [--screenshot FILE] [-lang:CODE]",
    &ShowSelect);

} // namespace
