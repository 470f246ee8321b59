#include "dialogs/DisplayCheck.h"
#include "dialogs/gallery/Gallery.h"

#include <QApplication>
#include <QTextStream>

using namespace dialogs;

using namespace dialogs;

std::map<QString, GalleryItem> &GalleryEntries()
{
    static std::map<QString, GalleryItem> entries;
    return entries;
}

GalleryRegistration::GalleryRegistration(const QString &name, const QString &usage, GalleryEntry show)
{
    GalleryEntries()[name] = GalleryItem{usage, std::move(show)};
}

static int printUsage(QTextStream &out)
{
    out << "usage: dialog-gallery NAME [options]\n";
    for (const auto &[name, item] : GalleryEntries())
        out << "  " << item.usage << "\n";
    return 2;
}

int main(int argc, char **argv)
{
    if (!dialogs::DisplayAvailable()) {
        QTextStream(stderr) << "dialog-gallery: " << dialogs::NoDisplayText() << '\n';
        return 2;
    }
    QApplication app(argc, argv);
    QStringList args = QApplication::arguments();
    args.removeFirst();
    QTextStream err(stderr);
    if (args.isEmpty() || args.first() == "--help")
        return printUsage(err);
    const auto entry = GalleryEntries().find(args.takeFirst());
    if (entry == GalleryEntries().end())
        return printUsage(err);
    return entry->second.show(args);
}
