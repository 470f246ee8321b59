#include "dialogs/ShellDirDlg.h"
#include "dialogs/gallery/Gallery.h"
#include "dialogs/gallery/WinUtilsSample.h"
#include "foundation/IniFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QToolButton>

#include <memory>

using namespace foundation;
using namespace dialogs;

namespace {

// A small folder tree to browse: mail folders, backups, projects.
void CreateSampleTree(const QString &root)
{
    const QStringList folders = {"Mail/Local Folders", "Mail/Archive/2025", "Backups/2026-11",
                                 "Backups/2026-12", "Projects/mendprobe", "Projects/website"};
    for (const QString &folder : folders)
        QDir(root).mkpath(folder);
    const QStringList files = {"Mail/Local Folders/Inbox", "Mail/Local Folders/Inbox.msf",
                               "Mail/Local Folders/Sent", "Mail/Local Folders/Sent.msf",
                               "Mail/Local Folders/Trash", "Mail/Local Folders/Unsent Messages"};
    for (const QString &name : files) {
        QFile file(root + QLatin1Char('/') + name);
        if (file.open(QIODevice::WriteOnly))
            file.write(QByteArray(4096, 'x'));
    }
}

int ShowFolder(const QStringList &options)
{
    GalleryStartTranslation();
    std::unique_ptr<QTemporaryDir> sample;
    QString start = GalleryOption(options, QStringLiteral("dir"));
    QString home = GalleryOption(options, QStringLiteral("home"));
    QString ini = GalleryOption(options, QStringLiteral("ini"));
    if (start.isEmpty()) {
        sample = std::make_unique<QTemporaryDir>();
        CreateSampleTree(sample->path());
        start = QDir::toNativeSeparators(sample->path() + QStringLiteral("/Mail/Local Folders"));
        if (home.isEmpty())
            home = QDir::toNativeSeparators(sample->path());
        if (ini.isEmpty()) {
            // A history as earlier runs would have left it.
            ini = sample->filePath(QStringLiteral("dialog-gallery.ini"));
            TIniFile settings(ini);
            settings.WriteString("FolderDialog", "History0", start);
            settings.WriteString("FolderDialog", "History1",
                                 QDir::toNativeSeparators(sample->path() + "/Backups/2026-12"));
            settings.WriteString("FolderDialog", "History2",
                                 QDir::toNativeSeparators(sample->path() + "/Projects/mendprobe"));
            settings.WriteBool("FolderDialog", "Fileview", !GalleryFlag(options, "no-files"));
        }
    }

    TShellDirDialog dialog;
    dialog.LoadFromIni(ini, GalleryOption(options, QStringLiteral("section"),
                                          QStringLiteral("FolderDialog")));
    // A root button to press once the dialog shows, as the user would.
    const QString root = GalleryOption(options, QStringLiteral("root"));
    if (!root.isEmpty()) {
        const QString button = root == QStringLiteral("desktop")     ? QStringLiteral("spbDesktop")
                               : root == QStringLiteral("documents") ? QStringLiteral("spbMyFiles")
                                                                     : QStringLiteral("spbComputer");
        QTimer::singleShot(0, &dialog, [&dialog, button] {
            if (auto *rootButton = dialog.findChild<QToolButton *>(button))
                rootButton->click();
        });
    }
    GalleryScheduleScreenshot(options);
    QString dir = start;
    const bool ok = dialog.Execute(GalleryOption(options, QStringLiteral("title"),
                                                 QStringLiteral("Select folder")),
                                   GalleryFlag(options, QStringLiteral("hidden")),
                                   !GalleryFlag(options, QStringLiteral("no-file-view")), false,
                                   home, dir);
    QTextStream(stdout) << (ok ? QStringLiteral("chosen ") + dir : QStringLiteral("cancelled")) << "\n";
    return 0;
}

const GalleryRegistration registration(
    "folder",
    "folder [--dir DIR] [--home DIR] [--root desktop|documents|computer] [--hidden] "
    "[--no-file-view] [--no-files] [--title TEXT] "
    "[--ini FILE [--section NAME]] [--screenshot FILE] [-lang:CODE]",
    &ShowFolder);

} // namespace
