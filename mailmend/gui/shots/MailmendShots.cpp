// Takes the pictures of Mailmend's window for the documentation: drives the
// main window as a user would (single profile, one folder recovered, the
// list of another folder's deleted mails) and saves two PNG files.
//
//   mailmend-screenshots --thunderbird DIR --folder SUBPATH --window FILE --choose FILE [-lang:CODE]
//
// SUBPATH is the folder below the profile whose files are listed. Meant for
// docs/mailmend-screenshots.sh, which makes the sample data and runs it under Xvfb.

#include "dialogs/SelectDlg.h"
#include "foundation/InitProg.h"
#include "foundation/LangUtils.h"
#include "foundation/PathUtils.h"
#include "mailmend/gui/MainForm.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextStream>
#include <QTimer>
#include <QTreeView>

#include <deque>
#include <functional>

using namespace foundation;
using namespace dialogs;
using namespace mailmend;

namespace {

QString Option(const QStringList &arguments, const QString &name)
{
    const qsizetype i = arguments.indexOf(name);
    return i >= 0 && i + 1 < arguments.size() ? arguments[i + 1] : QString();
}

bool ModalIs(const char *name)
{
    QWidget *modal = QApplication::activeModalWidget();
    return modal && modal->isVisible() && modal->objectName() == QLatin1String(name);
}

void ClickIn(QWidget *window, const char *button)
{
    if (auto *b = window->findChild<QAbstractButton *>(QLatin1String(button)))
        b->click();
}

// Selects the named rows of a view's shown items.
void SelectRows(QAbstractItemView *view, const QStringList &names)
{
    view->clearSelection();
    QAbstractItemModel *model = view->model();
    for (int row = 0; row < model->rowCount(view->rootIndex()); ++row) {
        const QModelIndex index = model->index(row, 0, view->rootIndex());
        if (names.contains(index.data().toString()))
            view->selectionModel()->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

// One step of the scenario: waits until ready() holds, then acts.
struct TStep
{
    std::function<bool()> ready;
    std::function<void()> action;
};

// Runs the steps from a timer, which also fires inside the event loops of
// modal dialogs. Gives up after a minute.
void RunSteps(std::deque<TStep> steps)
{
    auto *timer = new QTimer(QApplication::instance());
    auto queue = std::make_shared<std::deque<TStep>>(std::move(steps));
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        if (queue->empty() || clock->elapsed() > 60000) {
            if (!queue->empty())
                QTextStream(stderr) << "screenshots: a step did not come to pass\n";
            timer->stop();
            QApplication::exit(queue->empty() ? 0 : 1);
            return;
        }
        if (!queue->front().ready())
            return;
        const TStep step = queue->front();
        queue->pop_front();
        step.action();
    });
    timer->start(100);
}

// A step that waits a moment so the window system has painted.
TStep Pause(int ms)
{
    auto clock = std::make_shared<QElapsedTimer>();
    return {[clock, ms] {
                if (!clock->isValid())
                    clock->start();
                return clock->elapsed() >= ms;
            },
            [] {}};
}

bool Save(QWidget *window, const QString &file)
{
    const bool saved = window->grab().save(file);
    if (!saved)
        QTextStream(stderr) << "screenshots: cannot write " << file << '\n';
    return saved;
}

} // namespace

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    InitProgram(QString(), QStringLiteral("mailmend-screenshots.cfg"),
                {QLatin1String(RuntimeTextDomain), QLatin1String(UnitsTextDomain)}, arguments);
    QApplication app(argc, argv);
    const QString thunderbird = Option(arguments, QStringLiteral("--thunderbird"));
    const QString folder = Option(arguments, QStringLiteral("--folder"));
    const QString windowFile = Option(arguments, QStringLiteral("--window"));
    const QString chooseFile = Option(arguments, QStringLiteral("--choose"));
    if (thunderbird.isEmpty() || folder.isEmpty() || windowFile.isEmpty() || chooseFile.isEmpty()) {
        QTextStream(stderr) << "usage: mailmend-screenshots --thunderbird DIR --folder SUBPATH --window FILE "
                               "--choose FILE [-lang:CODE]\n";
        return 2;
    }

    SelectDialog = new TSelectDialog;
    mailmend::TMainForm form(thunderbird);
    form.SetRunningTest([](const QString &) { return false; });
    auto *list = form.findChild<QTreeView *>(QStringLiteral("ShellListView"));
    const auto listed = [list](int count) { return list->model()->rowCount(list->rootIndex()) >= count; };
    bool ok = true;

    std::deque<TStep> steps;
    // The single profile is announced first.
    steps.push_back({[] { return ModalIs("MessageDialog"); },
                     [] { QApplication::activeModalWidget()->close(); }});
    steps.push_back({[&] { return form.isVisible() && listed(3); },
                     [&] {
                         SelectRows(list, {QStringLiteral("Inbox")});
                         ClickIn(&form, "bbRecover");
                     }});
    steps.push_back({[] { return ModalIs("SelectDialog"); },
                     [] { ClickIn(QApplication::activeModalWidget(), "btSelect0"); }});
    steps.push_back({[&] { return !form.IsRecovering(); }, [] {}});
    steps.push_back(Pause(600));
    steps.push_back({[] { return true; }, [&] { ok = Save(&form, windowFile) && ok; }});
    steps.push_back({[] { return true; },
                     [&] {
                         SelectRows(list, {QStringLiteral("Trash")});
                         ClickIn(&form, "bbRecover");
                     }});
    steps.push_back({[] { return ModalIs("SelectDialog"); },
                     [] { ClickIn(QApplication::activeModalWidget(), "btSelect2"); }});
    steps.push_back({[] { return ModalIs("ChooseMailsDialog"); },
                     [] {
                         QWidget *dialog = QApplication::activeModalWidget();
                         auto *mails = dialog->findChild<QAbstractItemView *>(QStringLiteral("lvMails"));
                         for (int row : {1, 4})
                             mails->model()->setData(mails->model()->index(row, 0), Qt::Checked, Qt::CheckStateRole);
                         mails->selectionModel()->select(mails->model()->index(4, 0),
                                                         QItemSelectionModel::Select | QItemSelectionModel::Rows);
                     }});
    steps.push_back(Pause(600));
    steps.push_back({[] { return true; },
                     [&] {
                         QWidget *dialog = QApplication::activeModalWidget();
                         ok = Save(dialog, chooseFile) && ok;
                         ClickIn(dialog, "btCancel");
                     }});
    // Back at the question: cancel the run.
    steps.push_back({[] { return ModalIs("SelectDialog"); },
                     [] { ClickIn(QApplication::activeModalWidget(), "btCancel"); }});
    steps.push_back({[&] { return !form.IsRecovering(); }, [] {}});
    RunSteps(std::move(steps));

    if (!form.FormShow())
        return 1;
    form.show();
    form.SetTreePath(JoinPath(form.MailDir(), folder));
    const int result = QApplication::exec();
    delete SelectDialog;
    SelectDialog = nullptr;
    return result != 0 || !ok ? 1 : 0;
}
