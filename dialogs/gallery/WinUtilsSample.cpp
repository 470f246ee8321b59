#include "dialogs/gallery/WinUtilsSample.h"

#include "dialogs/WinUtils.h"
#include "foundation/InitProg.h"
#include "foundation/LangUtils.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTextStream>
#include <QTimer>
#include <QWidget>

#include <memory>

using namespace foundation;
using namespace dialogs;

QString GalleryOption(const QStringList &options, const QString &name, const QString &def)
{
    const QString flag = QStringLiteral("--") + name;
    for (qsizetype i = 0; i < options.size(); ++i) {
        if (options.at(i) == flag && i + 1 < options.size())
            return options.at(i + 1);
        if (options.at(i).startsWith(flag + QLatin1Char('=')))
            return options.at(i).mid(flag.size() + 1);
    }
    return def;
}

int GalleryIntOption(const QStringList &options, const QString &name, int def)
{
    bool ok = false;
    const int value = GalleryOption(options, name).toInt(&ok);
    return ok ? value : def;
}

bool GalleryFlag(const QStringList &options, const QString &name)
{
    return options.contains(QStringLiteral("--") + name);
}

QPoint GalleryPosition(const QStringList &options)
{
    const QStringList parts = GalleryOption(options, QStringLiteral("pos")).split(QLatin1Char(','));
    bool okX = false;
    bool okY = false;
    if (parts.size() == 2) {
        const int x = parts.at(0).trimmed().toInt(&okX);
        const int y = parts.at(1).trimmed().toInt(&okY);
        if (okX && okY)
            return QPoint(x, y);
    }
    return DefaultDialogPos;
}

void GalleryStartTranslation()
{
    InitProgram(QStringLiteral("mendprobe"), QStringLiteral("dialog-gallery.cfg"),
                {QString::fromLatin1(UnitsTextDomain)}, QApplication::arguments());
}

void GalleryScheduleScreenshot(const QStringList &options)
{
    const QString file = GalleryOption(options, QStringLiteral("screenshot"));
    if (file.isEmpty())
        return;
    auto *timer = new QTimer(QApplication::instance());
    timer->setInterval(50);
    auto clock = std::make_shared<QElapsedTimer>();
    auto shownFor = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(timer, &QTimer::timeout, timer, [=]() {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) {
            if (clock->elapsed() > 10000) {
                QTextStream(stderr) << "no dialog to take a picture of\n";
                timer->stop();
            }
            return;
        }
        // Give the window system a moment to map and paint the window.
        if (!shownFor->isValid()) {
            shownFor->start();
            return;
        }
        if (shownFor->elapsed() < 400)
            return;
        timer->stop();
        timer->deleteLater();
        if (!modal->grab().save(file))
            QTextStream(stderr) << "cannot write " << file << "\n";
        modal->close();
        if (modal->isVisible())
            if (auto *dialog = qobject_cast<QDialog *>(modal))
                dialog->reject();
    });
    timer->start();
}
