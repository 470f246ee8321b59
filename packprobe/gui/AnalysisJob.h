#pragma once

// Runs the analysis of one gz file off the UI thread: the core's flow stays
// synchronous; progress comes back through the future, and the password
// question is answered on the UI thread while the worker waits for it.

#include "packprobe/core/GzAnalysis.h"

#include <QFuture>
#include <QFutureWatcher>
#include <QObject>
#include <QString>

#include <atomic>
#include <exception>
#include <functional>

namespace packprobe {

class TAnalysisJob : public QObject
{
    Q_OBJECT

public:
    // Asks for the password on the UI thread; false when the user gives none.
    using TAskPassword = std::function<bool(const QString &fileName, QByteArray &password)>;

    explicit TAnalysisJob(TAskPassword askPassword, QObject *parent = nullptr);
    // Cancels a running analysis and waits for it, answering its question
    // with "no password" meanwhile.
    ~TAnalysisJob() override;

    // Starts the analysis of fileName with the analyzer, which must outlive
    // the run. False (and nothing started) while another one runs.
    bool Start(TGzAnalyzer &analyzer, const QString &fileName);
    bool IsRunning() const;
    // Asks the running analysis to stop at its next buffer; a question not yet
    // asked is answered with "no password". Finished still follows.
    void Cancel();
    bool CancelRequested() const { return FCancel.load(); }

    // Progress of a run in thousandths.
    static constexpr int ProgressRange = 1000;

Q_SIGNALS:
    void ProgressChanged(int permille);
    // The report of the run; emitted on the UI thread once the worker is done.
    void Finished(const TAnalysisReport &report);
    // The analysis ended with an error instead of a report (an error the core
    // does not turn into one, such as running out of memory).
    void Failed(const QString &errorText);

private:
    bool AskOnUiThread(const QString &fileName, QByteArray &password);
    void OnWorkerFinished();

    class TPasswordBridge;
    class TMonitor;

    TAskPassword FAskPassword;
    QFuture<TAnalysisReport> FFuture;
    QFutureWatcher<TAnalysisReport> FWatcher;
    std::exception_ptr FError; // written by the worker, read once it is done
    std::atomic_bool FCancel{false};
    bool FRunning = false;
};

} // namespace packprobe
