#include "packprobe/gui/AnalysisJob.h"

#include "foundation/Progress.h"
#include "packprobe/core/AesLib.h"

#include "dialogs/HandlerGuard.h"

#include <QCoreApplication>
#include <QPromise>
#include <QThread>
#include <QtConcurrent/QtConcurrentRun>

namespace packprobe {

using namespace foundation;
using namespace dialogs;

// The core's password provider on the worker: the question crosses to the UI
// thread and the worker waits for the answer there.
class TAnalysisJob::TPasswordBridge final : public IPasswordProvider
{
public:
    explicit TPasswordBridge(TAnalysisJob &job) : FJob(job) {}

    bool AskPassword(const QString &fileName, QByteArray &password) override
    {
        if (FJob.CancelRequested())
            return false;
        bool given = false;
        QMetaObject::invokeMethod(
            &FJob, [&] { given = FJob.AskOnUiThread(fileName, password); },
            Qt::BlockingQueuedConnection);
        return given;
    }

private:
    TAnalysisJob &FJob;
};

// Progress into the promise, cancellation from the job's flag (a cancelled
// future would drop the report that says the user stopped it).
class TAnalysisJob::TMonitor final : public foundation::IProgressMonitor
{
public:
    TMonitor(QPromise<TAnalysisReport> &promise, const std::atomic_bool &cancel)
        : FPromise(promise), FCancel(cancel)
    {
    }

    void Progress(qint64 done, qint64 total) override
    {
        if (total > 0)
            FPromise.setProgressValue(
                int(qBound(qint64(0), done * ProgressRange / total, qint64(ProgressRange))));
    }
    bool CancelRequested() const override { return FCancel.load(); }

private:
    QPromise<TAnalysisReport> &FPromise;
    const std::atomic_bool &FCancel;
};

TAnalysisJob::TAnalysisJob(TAskPassword askPassword, QObject *parent)
    : QObject(parent), FAskPassword(std::move(askPassword))
{
    connect(&FWatcher, &QFutureWatcher<TAnalysisReport>::progressValueChanged, this,
            &TAnalysisJob::ProgressChanged);
    connect(&FWatcher, &QFutureWatcher<TAnalysisReport>::finished, this,
            &TAnalysisJob::OnWorkerFinished);
}

TAnalysisJob::~TAnalysisJob()
{
    if (!FFuture.isValid() || FFuture.isFinished())
        return;
    FCancel = true;
    // The worker may be waiting for its question to be answered on this
    // thread: deliver those calls (they answer "no password" now) instead of
    // blocking on the worker. Nothing else runs meanwhile.
    while (!FFuture.isFinished()) {
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
        QThread::msleep(2);
    }
    FWatcher.disconnect(this);
}

bool TAnalysisJob::Start(TGzAnalyzer &analyzer, const QString &fileName)
{
    if (IsRunning())
        return false;
    FCancel = false;
    FError = nullptr;
    FRunning = true;
    FFuture = QtConcurrent::run(
        [this, &analyzer, fileName](QPromise<TAnalysisReport> &promise) {
            promise.setProgressRange(0, ProgressRange);
            TPasswordBridge passwords(*this);
            TMonitor monitor(promise, FCancel);
            try {
                promise.addResult(analyzer.AnalyzeFile(fileName, passwords, &monitor));
            } catch (...) {
                FError = std::current_exception();
            }
            // The pool keeps this thread; it must not hold cryptography state at exit.
            ReleaseCryptoThreadState();
        });
    FWatcher.setFuture(FFuture);
    return true;
}

bool TAnalysisJob::IsRunning() const
{
    return FRunning;
}

void TAnalysisJob::Cancel()
{
    if (FRunning)
        FCancel = true;
}

bool TAnalysisJob::AskOnUiThread(const QString &fileName, QByteArray &password)
{
    if (CancelRequested() || !FAskPassword)
        return false;
    return FAskPassword(fileName, password);
}

void TAnalysisJob::OnWorkerFinished()
{
    FRunning = false;
    if (FError || FFuture.resultCount() == 0) {
        const QString text = dialogs::ErrorTextOf(FError);
        FError = nullptr;
        Q_EMIT Failed(text);
        return;
    }
    Q_EMIT Finished(FFuture.result());
}

} // namespace packprobe
