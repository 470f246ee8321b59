#include "mailmend/gui/RecoveryWorker.h"

#include "foundation/FileUtils.h"
#include "foundation/LangUtils.h"
#include "foundation/Progress.h"
#include "foundation/StringUtils.h"
#include "mailmend/core/Thunderbird.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPromise>
#include <QtConcurrent/QtConcurrentRun>

#include <limits>

namespace mailmend {

using namespace foundation;

namespace {

// Progress values of the promise only grow, so every operation (reading or
// writing one folder) gets a range of its own: step * StepRange + per mille.
constexpr int StepRange = 1001;

int PerMille(qint64 done, qint64 total)
{
    if (total <= 0)
        return 1000;
    return int(qBound(qint64(0), done * 1000 / total, qint64(1000)));
}

} // namespace

// The recovery's prompter on the worker thread: questions go to the UI
// thread and wait for the answer, progress goes to the promise.
class TRecoveryWorker::TWorkerPrompter final : public TRecoveryPrompter, private foundation::IProgressMonitor
{
public:
    TWorkerPrompter(TRecoveryWorker &worker, QPromise<void> &promise, bool markUnread, TRunningTest isRunning)
        : FWorker(worker), FPromise(promise), FMarkUnread(markUnread), FIsRunning(std::move(isRunning))
    {
    }

    int Choose(const QString &message, const QStringList &buttons) override { return Ask(message, buttons, -1); }
    int ChooseWithFocus(const QString &message, const QStringList &buttons, int focusButton) override
    {
        return Ask(message, buttons, focusButton);
    }
    bool IsThunderbirdRunning(const QString &folderFile) override
    {
        return FIsRunning ? FIsRunning(folderFile) : IsThunderbirdRunningFor(folderFile);
    }
    bool MarkUnread() override
    {
        // Asked right before the folder is written.
        BeginStep(TProgressPhase::Writing);
        return FMarkUnread;
    }
    bool CanChooseMails() const override { return true; }
    bool ChooseMails(const TScanResult &scan, TMailSelection &selection) override
    {
        if (FPromise.isCanceled())
            return false;
        std::vector<TMailRow> rows = MailRowsOf(scan);
        std::vector<qint64> numbers;
        bool chosen = false;
        QMetaObject::invokeMethod(
            &FWorker, [&] { chosen = FWorker.AnswerMails(scan.FileName, std::move(rows), numbers); },
            Qt::BlockingQueuedConnection);
        if (chosen)
            selection = TMailSelection::Numbers(std::move(numbers));
        return chosen;
    }
    foundation::IProgressMonitor *Monitor() override { return this; }
    void Progress(qint64 done, qint64 total) override
    {
        FPromise.setProgressValueAndText(FStep * StepRange + PerMille(done, total), FText);
    }
    bool CancelRequested() const override { return FPromise.isCanceled(); }

    void BeginFolder(const QString &path)
    {
        FPath = path;
        BeginStep(TProgressPhase::Reading);
    }

private:
    void BeginStep(TProgressPhase phase)
    {
        ++FStep;
        FText = ProgressText(phase, FPath);
        FPromise.setProgressValueAndText(FStep * StepRange, FText);
    }

    int Ask(const QString &message, const QStringList &buttons, int focusButton)
    {
        if (FPromise.isCanceled())
            return -1;
        int answer = -1;
        QMetaObject::invokeMethod(
            &FWorker, [&] { answer = FWorker.Answer(message, buttons, focusButton); },
            Qt::BlockingQueuedConnection);
        return answer;
    }

    TRecoveryWorker &FWorker;
    QPromise<void> &FPromise;
    const bool FMarkUnread;
    const TRunningTest FIsRunning;
    QString FPath;
    QString FText;
    int FStep = 0;
};

TRecoveryWorker::TRecoveryWorker(IRecoveryQuestions &questions, QObject *parent)
    : QObject(parent), FQuestions(questions)
{
    connect(&FWatcher, &QFutureWatcher<void>::finished, this, [this] { WatcherFinished(); });
    connect(&FWatcher, &QFutureWatcher<void>::progressValueChanged, this,
            [this](int value) { WatcherProgress(value); });
}

TRecoveryWorker::~TRecoveryWorker()
{
    if (!FRunning)
        return;
    blockSignals(true);
    Cancel();
    // The worker may be waiting for an answer: keep answering (with Cancel)
    // until it has ended.
    while (!FWatcher.future().isFinished())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
}

QString TRecoveryWorker::ProgressText(TProgressPhase phase, const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    return phase == TProgressPhase::Reading ? SafeFormat(Translate("Reading \"%s\""), name)
                                            : SafeFormat(Translate("Recovering mails in \"%s\""), name);
}

bool TRecoveryWorker::Start(const QStringList &paths, bool markUnread, TRunningTest isRunning)
{
    if (FRunning)
        return false;
    FRunning = true;
    FCancelRequested = false;
    // A run cancelled before its task started never sets the outcome.
    auto outcome = std::make_shared<TRunOutcome>();
    outcome->End = TRunEnd::Cancelled;
    FOutcome = outcome;
    QFuture<void> future = QtConcurrent::run(
        [this, paths, markUnread, isRunning = std::move(isRunning), outcome](QPromise<void> &promise) {
            promise.setProgressRange(0, std::numeric_limits<int>::max());
            TWorkerPrompter prompter(*this, promise, markUnread, isRunning);
            const auto addLine = [this](const QString &line) {
                QMetaObject::invokeMethod(this, [this, line] { Q_EMIT LineAdded(line); }, Qt::QueuedConnection);
            };
            try {
                outcome->End = RecoverFolderFiles(paths, prompter, addLine,
                                                  [&prompter](const QString &path) { prompter.BeginFolder(path); });
            } catch (const foundation::ECancelled &) {
                outcome->End = TRunEnd::Cancelled;
            } catch (const std::exception &error) {
                outcome->Failed = true;
                outcome->Error = foundation::ErrorMessageOf(error);
            }
        });
    FWatcher.setFuture(future);
    return true;
}

bool TRecoveryWorker::IsRunning() const
{
    return FRunning;
}

void TRecoveryWorker::Cancel()
{
    if (!FRunning)
        return;
    FCancelRequested = true;
    FWatcher.cancel();
}

void TRecoveryWorker::CancelAndWait()
{
    Cancel();
    while (FRunning)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
}

int TRecoveryWorker::Answer(const QString &message, const QStringList &buttons, int focusButton)
{
    if (FCancelRequested)
        return -1;
    return FQuestions.AskChoice(message, buttons, focusButton);
}

bool TRecoveryWorker::AnswerMails(const QString &folderPath, std::vector<TMailRow> rows, std::vector<qint64> &chosen)
{
    if (FCancelRequested)
        return false;
    return FQuestions.AskMails(folderPath, std::move(rows), chosen);
}

void TRecoveryWorker::WatcherProgress(int value)
{
    // The watcher reports the state it finds when it is connected (nothing
    // done yet, no text); only the worker's own steps are shown.
    if (FWatcher.progressText().isEmpty())
        return;
    Q_EMIT ProgressChanged(FWatcher.progressText(), value % StepRange);
}

void TRecoveryWorker::WatcherFinished()
{
    FRunning = false;
    const TRunOutcome outcome = *FOutcome;
    Q_EMIT Finished(outcome);
}

} // namespace mailmend
