#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <map>

// A gallery entry shows one dialog with sample content and returns the exit
// status of the gallery program. Options are the command-line arguments that
// follow the entry's name.
using GalleryEntry = std::function<int(const QStringList &options)>;

struct GalleryItem
{
    QString usage; // one line for --help, e.g. "select [--buttons N]"
    GalleryEntry show;
};

std::map<QString, GalleryItem> &GalleryEntries();

// Registers an entry at program start:
//   static const GalleryRegistration reg("select", "select [--buttons N]", &showSelect);
struct GalleryRegistration
{
    GalleryRegistration(const QString &name, const QString &usage, GalleryEntry show);
};
