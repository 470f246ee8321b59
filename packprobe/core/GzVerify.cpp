#include "packprobe/core/GzVerify.h"

#include "packprobe/core/ExtFileDevice.h"
#include "packprobe/core/ExtFileTools.h"
#include "packprobe/core/GzUnpack.h"

#include "foundation/Progress.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSet>
#include <QThread>

#include "foundation/SecureWipe.h"

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace packprobe {

using namespace foundation;

namespace {

constexpr qint64 ProgressIntervalMs = 200;

bool HasGzExtension(const QString &name)
{
    return name.endsWith(QLatin1String(".gz"), Qt::CaseInsensitive)
           || name.endsWith(QLatin1String(".gze"), Qt::CaseInsensitive);
}

QStringList GzFilesBelow(const QString &folder)
{
    QStringList found;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString name = it.next();
        if (HasGzExtension(name))
            found.append(name);
    }
    found.sort();
    return found;
}

// The one password of a check: asked once, then handed to every file.
class TSharedPassword final : public IPasswordProvider
{
public:
    explicit TSharedPassword(IPasswordProvider &source) : FSource(source) {}
    ~TSharedPassword() override
    {
        if (FPassword && !FPassword->isEmpty())
            WipeBytes(*FPassword);
    }
    TSharedPassword(const TSharedPassword &) = delete;
    TSharedPassword &operator=(const TSharedPassword &) = delete;

    bool AskPassword(const QString &fileName, QByteArray &password) override
    {
        std::lock_guard lock(FMutex);
        if (!FAsked) {
            FAsked = true;
            QByteArray given;
            if (FSource.AskPassword(fileName, given))
                FPassword = std::move(given);
        }
        if (!FPassword)
            return false;
        password = *FPassword;
        return true;
    }

private:
    IPasswordProvider &FSource;
    std::mutex FMutex;
    bool FAsked = false;
    std::optional<QByteArray> FPassword;
};

// The shared state of the checking threads.
class TVerifyState
{
public:
    TVerifyState(const TVerifyPlan &plan, int threads, const std::atomic<bool> &stop,
                 IVerifyListener &listener)
        : FPlan(plan), FStop(stop), FListener(listener), FCurrent(size_t(threads))
    {
        FTotals.Planned = int(plan.Files.size());
        FClock.start();
    }

    const std::atomic<bool> &Stop() const { return FStop; }
    // The index of the next file to check, or nullopt when all are taken or
    // the check stops.
    std::optional<int> NextFile()
    {
        const int index = FNext++;
        if (FStop.load() || index >= FPlan.Files.size())
            return std::nullopt;
        return index;
    }
    const QString &FileAt(int index) const { return FPlan.Files.at(index); }
    // Bytes of the current file of one thread.
    void SetCurrent(int thread, qint64 bytes)
    {
        FCurrent[size_t(thread)].store(bytes);
        const qint64 now = FClock.elapsed();
        qint64 last = FLastProgress.load();
        if (now - last < ProgressIntervalMs || !FLastProgress.compare_exchange_strong(last, now))
            return;
        std::lock_guard lock(FMutex);
        ReportProgress();
    }
    // Results are told in the order of the plan, whichever thread finishes
    // first, so that two runs over one set print the same lines.
    void Checked(int thread, int index, TAnalysisReport report)
    {
        FCurrent[size_t(thread)].store(0);
        std::lock_guard lock(FMutex);
        Tally(report, FPlan.Sizes.at(index));
        FWaiting.emplace(index, std::move(report));
        TellWaiting(false);
        ReportProgress();
    }
    TVerifyTotals Finish()
    {
        // After a stop the files that were being checked leave gaps.
        TellWaiting(true);
        FTotals.Milliseconds = FClock.elapsed();
        FTotals.Interrupted = FTotals.Files < FTotals.Planned;
        return FTotals;
    }

private:
    void TellWaiting(bool acrossGaps)
    {
        for (auto first = FWaiting.begin();
             first != FWaiting.end() && (acrossGaps || first->first == FNextToTell);
             first = FWaiting.erase(first)) {
            FListener.FileChecked(first->second);
            FNextToTell = first->first + 1;
        }
    }
    void Tally(const TAnalysisReport &report, qint64 size)
    {
        ++FTotals.Files;
        FTotals.Bytes += size;
        switch (report.Verdict.State) {
        case TVerdictState::Intact:
            ++FTotals.Intact;
            break;
        case TVerdictState::Truncated:
            ++FTotals.Truncated;
            break;
        case TVerdictState::Mismatch:
            ++FTotals.Mismatched;
            break;
        case TVerdictState::Error:
            ++FTotals.Failed;
            break;
        }
    }
    void ReportProgress()
    {
        qint64 bytes = FTotals.Bytes;
        for (const auto &current : FCurrent)
            bytes += current.load();
        FListener.Progress(FTotals.Files, FTotals.Planned, qMin(bytes, FPlan.TotalBytes),
                            FPlan.TotalBytes);
    }

    const TVerifyPlan &FPlan;
    const std::atomic<bool> &FStop;
    IVerifyListener &FListener;
    std::vector<std::atomic<qint64>> FCurrent;
    std::atomic<int> FNext{0};
    std::map<int, TAnalysisReport> FWaiting; // checked, not yet told
    int FNextToTell = 0;
    std::atomic<qint64> FLastProgress{0};
    QElapsedTimer FClock;
    std::mutex FMutex;
    TVerifyTotals FTotals;
};

// Progress of one file into the shared state; cancels when the check stops.
class TFileMonitor final : public foundation::IProgressMonitor
{
public:
    TFileMonitor(TVerifyState &state, int thread) : FState(state), FThread(thread) {}
    void Progress(qint64 done, qint64) override { FState.SetCurrent(FThread, done); }
    bool CancelRequested() const override { return FState.Stop().load(); }

private:
    TVerifyState &FState;
    const int FThread;
};

void CheckFiles(TVerifyState &state, IPasswordProvider &passwords, int thread)
{
    TGzAnalyzer analyzer(TDataTarget::CountOnly);
    TFileMonitor monitor(state, thread);
    while (const std::optional<int> index = state.NextFile()) {
        TAnalysisReport report = analyzer.AnalyzeFile(state.FileAt(*index), passwords, &monitor);
        // A file cut off by the stop was not checked.
        if (state.Stop().load() && report.ErrorCode == quint32(UnpackUserBreak)
            && report.Stage == TAnalysisStage::UnpackError)
            return;
        state.Checked(thread, *index, std::move(report));
    }
}

// The first encrypted gz file of the list, or an empty name.
QString FirstEncrypted(const QStringList &files)
{
    for (const QString &file : files) {
        TGzFileInfo info;
        try {
            if (QFileInfo(file).isFile() && ReadGzInfo(file, info) && info.Encrypted)
                return file;
        } catch (const EExtFileStreamError &) {
            // Unreadable: the check reports it.
        }
    }
    return QString();
}

} // namespace

TVerifyPlan PlanVerify(const QStringList &paths)
{
    TVerifyPlan plan;
    QSet<QString> seen;
    auto add = [&plan, &seen](const QString &file) {
        const QFileInfo info(file);
        const QString key = info.absoluteFilePath();
        if (seen.contains(key))
            return;
        seen.insert(key);
        const qint64 size = qMax<qint64>(info.size(), 0);
        plan.Files.append(file);
        plan.Sizes.append(size);
        plan.TotalBytes += size;
    };
    for (const QString &path : paths) {
        const QFileInfo info(path);
        if (info.isDir()) {
            for (const QString &file : GzFilesBelow(path))
                add(file);
        } else {
            add(path);
        }
    }
    return plan;
}

TVerifyTotals RunVerify(const TVerifyPlan &plan, IPasswordProvider &passwords, int jobs,
                        const std::atomic<bool> &stop, IVerifyListener &listener)
{
    const int threads =
        qBound(1, jobs > 0 ? jobs : QThread::idealThreadCount(), qMax(1, int(plan.Files.size())));
    TSharedPassword shared(passwords);
    // Asked before the threads start, so that the question does not run
    // into the output of the check.
    const QString encrypted = FirstEncrypted(plan.Files);
    if (!encrypted.isEmpty()) {
        QByteArray unused;
        shared.AskPassword(encrypted, unused);
        WipeBytes(unused);
    }
    TVerifyState state(plan, threads, stop, listener);
    std::vector<std::thread> workers;
    for (int thread = 0; thread < threads; ++thread)
        workers.emplace_back([&state, &shared, thread] { CheckFiles(state, shared, thread); });
    for (std::thread &worker : workers)
        worker.join();
    return state.Finish();
}

} // namespace packprobe
