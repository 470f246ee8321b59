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
    explicit TSharedPassword(IPasswordProvider &source) : m_source(source) {}
    ~TSharedPassword() override
    {
        if (m_password && !m_password->isEmpty())
            WipeBytes(*m_password);
    }
    TSharedPassword(const TSharedPassword &) = delete;
    TSharedPassword &operator=(const TSharedPassword &) = delete;

    bool askPassword(const QString &fileName, QByteArray &password) override
    {
        std::lock_guard lock(m_mutex);
        if (!m_asked) {
            m_asked = true;
            QByteArray given;
            if (m_source.askPassword(fileName, given))
                m_password = std::move(given);
        }
        if (!m_password)
            return false;
        password = *m_password;
        return true;
    }

private:
    IPasswordProvider &m_source;
    std::mutex m_mutex;
    bool m_asked = false;
    std::optional<QByteArray> m_password;
};

// The shared state of the checking threads.
class TVerifyState
{
public:
    TVerifyState(const TVerifyPlan &plan, int threads, const std::atomic<bool> &stop,
                 IVerifyListener &listener)
        : m_plan(plan), m_stop(stop), m_listener(listener), m_current(size_t(threads))
    {
        m_totals.Planned = int(plan.Files.size());
        m_clock.start();
    }

    const std::atomic<bool> &Stop() const { return m_stop; }
    // The index of the next file to check, or nullopt when all are taken or
    // the check stops.
    std::optional<int> NextFile()
    {
        const int index = m_next++;
        if (m_stop.load() || index >= m_plan.Files.size())
            return std::nullopt;
        return index;
    }
    const QString &FileAt(int index) const { return m_plan.Files.at(index); }
    // Bytes of the current file of one thread.
    void SetCurrent(int thread, qint64 bytes)
    {
        m_current[size_t(thread)].store(bytes);
        const qint64 now = m_clock.elapsed();
        qint64 last = m_lastProgress.load();
        if (now - last < ProgressIntervalMs || !m_lastProgress.compare_exchange_strong(last, now))
            return;
        std::lock_guard lock(m_mutex);
        ReportProgress();
    }
    // Results are told in the order of the plan, whichever thread finishes
    // first, so that two runs over one set print the same lines.
    void Checked(int thread, int index, TAnalysisReport report)
    {
        m_current[size_t(thread)].store(0);
        const qint64 size = QFileInfo(report.FileName).size();
        std::lock_guard lock(m_mutex);
        Tally(report, size);
        m_waiting.emplace(index, std::move(report));
        TellWaiting(false);
        ReportProgress();
    }
    TVerifyTotals Finish()
    {
        // After a stop the files that were being checked leave gaps.
        TellWaiting(true);
        m_totals.Milliseconds = m_clock.elapsed();
        m_totals.Interrupted = m_totals.Files < m_totals.Planned;
        return m_totals;
    }

private:
    void TellWaiting(bool acrossGaps)
    {
        for (auto first = m_waiting.begin();
             first != m_waiting.end() && (acrossGaps || first->first == m_nextToTell);
             first = m_waiting.erase(first)) {
            m_listener.FileChecked(first->second);
            m_nextToTell = first->first + 1;
        }
    }
    void Tally(const TAnalysisReport &report, qint64 size)
    {
        ++m_totals.Files;
        m_totals.Bytes += qMax<qint64>(size, 0);
        switch (report.Verdict.State) {
        case TVerdictState::Intact:
            ++m_totals.Intact;
            break;
        case TVerdictState::Truncated:
            ++m_totals.Truncated;
            break;
        case TVerdictState::Mismatch:
            ++m_totals.Mismatched;
            break;
        case TVerdictState::Error:
            ++m_totals.Failed;
            break;
        }
    }
    void ReportProgress()
    {
        qint64 bytes = m_totals.Bytes;
        for (const auto &current : m_current)
            bytes += current.load();
        m_listener.Progress(m_totals.Files, m_totals.Planned, qMin(bytes, m_plan.TotalBytes),
                            m_plan.TotalBytes);
    }

    const TVerifyPlan &m_plan;
    const std::atomic<bool> &m_stop;
    IVerifyListener &m_listener;
    std::vector<std::atomic<qint64>> m_current;
    std::atomic<int> m_next{0};
    std::map<int, TAnalysisReport> m_waiting; // checked, not yet told
    int m_nextToTell = 0;
    std::atomic<qint64> m_lastProgress{0};
    QElapsedTimer m_clock;
    std::mutex m_mutex;
    TVerifyTotals m_totals;
};

// Progress of one file into the shared state; cancels when the check stops.
class TFileMonitor final : public foundation::IProgressMonitor
{
public:
    TFileMonitor(TVerifyState &state, int thread) : m_state(state), m_thread(thread) {}
    void Progress(qint64 done, qint64) override { m_state.SetCurrent(m_thread, done); }
    bool CancelRequested() const override { return m_state.Stop().load(); }

private:
    TVerifyState &m_state;
    const int m_thread;
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
        const QString key = QFileInfo(file).absoluteFilePath();
        if (seen.contains(key))
            return;
        seen.insert(key);
        plan.Files.append(file);
        plan.TotalBytes += qMax<qint64>(QFileInfo(file).size(), 0);
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
        shared.askPassword(encrypted, unused);
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
