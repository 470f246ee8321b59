#pragma once

// Runs the recovery of the selected folder files off the UI thread. The
// folders are read and written on a worker (QtConcurrent with a QPromise);
// the questions of the recovery are asked on the UI thread, which the worker
// waits for; progress and message lines reach the UI thread as signals.

#include "mailmend/core/RecoveryRun.h"
#include "mailmend/gui/ChooseMailsDlg.h"

#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>

namespace mailmend {

// The questions of a recovery, answered on the UI thread.
class IRecoveryQuestions
{
public:
    virtual ~IRecoveryQuestions() = default;
    // The choice dialog with the caller's buttons and a Cancel button; the
    // index of the chosen button or -1. focusButton -1 puts the focus on
    // Cancel.
    virtual int AskChoice(const QString &message, const QStringList &buttons, int focusButton) = 0;
    // The list of a folder's deleted mails: true with the numbers of the
    // mails the user checked, false when the user went back.
    virtual bool AskMails(const QString &folderPath, std::vector<TMailRow> rows, std::vector<qint64> &chosen) = 0;
};

// How a run ended, as the window reports it.
struct TRunOutcome
{
    TRunEnd End = TRunEnd::Completed;
    bool Failed = false; // an error of reading or writing ended the run
    QString Error;       // its message
};

// What a progress step says: the operation on one folder and how far it is.
enum class TProgressPhase { Reading, Writing };

class TRecoveryWorker : public QObject
{
    Q_OBJECT

public:
    using TRunningTest = std::function<bool(const QString &folderFile)>;

    explicit TRecoveryWorker(IRecoveryQuestions &questions, QObject *parent = nullptr);
    // Cancels a run that is still going and waits for it.
    ~TRecoveryWorker() override;

    // Starts a run over paths (in this order); false when one is running.
    // markUnread is the state of "Mark recovered mails as unread";
    // isRunning tests whether Thunderbird runs (called on the worker).
    bool Start(const QStringList &paths, bool markUnread, TRunningTest isRunning);
    bool IsRunning() const;
    // Asks the run to stop: the scan stops at its next buffer, a question
    // not yet asked is answered with Cancel. Returns at once.
    void Cancel();
    bool CancelRequested() const { return FCancelRequested; }
    // Cancel, then wait for the worker while the UI thread answers its
    // pending question (with Cancel).
    void CancelAndWait();

    // The text shown above the progress bar.
    static QString ProgressText(TProgressPhase phase, const QString &path);

Q_SIGNALS:
    // The operation on one folder (text) and how far it is, in per mille.
    void ProgressChanged(const QString &text, int perMille);
    void LineAdded(const QString &line);
    void Finished(const mailmend::TRunOutcome &outcome);

private:
    class TWorkerPrompter;
    friend class TWorkerPrompter;

    // Runs on the UI thread for the worker.
    int Answer(const QString &message, const QStringList &buttons, int focusButton);
    bool AnswerMails(const QString &folderPath, std::vector<TMailRow> rows, std::vector<qint64> &chosen);
    void WatcherFinished();
    void WatcherProgress(int value);

    IRecoveryQuestions &FQuestions;
    QFutureWatcher<void> FWatcher;
    std::shared_ptr<TRunOutcome> FOutcome;
    std::atomic<bool> FCancelRequested{false};
    bool FRunning = false;
};

} // namespace mailmend
