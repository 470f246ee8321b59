// Takes the pictures of the Packprobe window and its password dialog for the
// documentation: analyses a plain sample and saves a picture of the window,
// then starts the analysis of an encrypted sample and saves a picture of the
// password dialog with a typed (masked) password.
//
//   packprobe-screenshots OUT_FOLDER PLAIN.gz ENCRYPTED.gze PASSWORD
//
// Settings go to a temporary folder; the user's own stay untouched.

#include "packprobe/gui/PackprobeMain.h"

#include "foundation/InitProg.h"
#include "foundation/LangUtils.h"
#include "foundation/PathUtils.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <functional>

using namespace foundation;
using namespace packprobe;

namespace {

// Calls action with the modal dialog named name once it has been on the
// screen for a moment; gives up after a while.
void WhenModalShown(const QString &name, std::function<void(QWidget *)> action)
{
    auto *timer = new QTimer(QApplication::instance());
    timer->setInterval(50);
    auto clock = std::make_shared<QElapsedTimer>();
    auto shownFor = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(timer, &QTimer::timeout, timer, [=]() {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible() || modal->objectName() != name) {
            if (clock->elapsed() > 20000) {
                QTextStream(stderr) << "no dialog " << name << " to take a picture of\n";
                timer->stop();
                QApplication::exit(1);
            }
            return;
        }
        if (!shownFor->isValid())
            shownFor->start();
        if (shownFor->elapsed() < 400)
            return;
        timer->stop();
        timer->deleteLater();
        action(modal);
    });
    timer->start();
}

bool Save(QWidget *widget, const QString &file)
{
    if (widget->grab().save(file))
        return true;
    QTextStream(stderr) << "cannot write " << file << "\n";
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    InitProgram(QStringLiteral("Vaultkeep6") + PathDelim, QStringLiteral("Vaultkeep.cfg"),
                {QString::fromLatin1(RuntimeTextDomain), QString::fromLatin1(UnitsTextDomain)},
                arguments);
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    const QStringList positional = args.mid(1).filter(QRegularExpression(QStringLiteral("^[^-]")));
    if (positional.size() != 4) {
        QTextStream(stderr) << "usage: packprobe-screenshots OUT_FOLDER PLAIN.gz ENCRYPTED.gze PASSWORD\n";
        return 2;
    }
    const QDir out(positional[0]);
    const QString plain = positional[1];
    const QString encrypted = positional[2];
    const QString password = positional[3];

    QTemporaryDir settings;
    packprobe::TPackprobePaths paths;
    paths.AppPath = settings.filePath(QStringLiteral("app")) + QLatin1Char('/');
    paths.UserPath = settings.filePath(QStringLiteral("docs")) + QLatin1Char('/');
    paths.IniName = paths.AppPath + QStringLiteral("Packprobe.ini");
    QDir().mkpath(paths.AppPath);
    QDir().mkpath(paths.UserPath);

    packprobe::TPackprobeForm form(paths);
    form.SetStartFile(plain);
    int step = 0;
    int status = 0;
    QObject::connect(&form, &packprobe::TPackprobeForm::AnalysisFinished, &form, [&] {
        if (step++ == 0) {
            // Let the window paint its lists before taking the picture.
            QTimer::singleShot(500, &form, [&] {
                if (!Save(&form, out.filePath(QStringLiteral("packprobe-window.png"))))
                    status = 1;
                WhenModalShown(QStringLiteral("PasswordDialog"), [&](QWidget *dialog) {
                    dialog->findChild<QLineEdit *>(QStringLiteral("edtPwd"))->setText(password);
                    QTimer::singleShot(200, dialog, [&, dialog] {
                        if (!Save(dialog, out.filePath(QStringLiteral("packprobe-password.png"))))
                            status = 1;
                        dialog->findChild<QPushButton *>(QStringLiteral("OKBtn"))->click();
                    });
                });
                form.AnalyzeFile(encrypted);
            });
            return;
        }
        form.close();
    });
    form.show();
    const int result = app.exec();
    return status ? status : result;
}
