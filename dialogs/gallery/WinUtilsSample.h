#pragma once

// Helpers shared by the gallery entries: options, translation set-up and
// screenshots of the dialog that an entry shows.

#include <QPoint>
#include <QString>
#include <QStringList>

// Value of "--name VALUE" (or "--name=VALUE"), or def when absent.
QString GalleryOption(const QStringList &options, const QString &name,
                      const QString &def = QString());
int GalleryIntOption(const QStringList &options, const QString &name, int def);
bool GalleryFlag(const QStringList &options, const QString &name);

// "--pos X,Y"; the library's default position (-1, -1) when absent.
QPoint GalleryPosition(const QStringList &options);

// Reads the classic options (-lang:CODE, -ini:PATH) and activates the
// language, as the programs do at start-up.
void GalleryStartTranslation();

// With "--screenshot FILE": once a modal dialog is shown and painted, saves
// its picture to FILE and closes it. Without the option nothing happens.
void GalleryScheduleScreenshot(const QStringList &options);
