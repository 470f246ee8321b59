#pragma once

// One shape for long work of every library: progress in bytes done of a
// total, a cancel request polled once per buffer, and one error that says the
// user cancelled.

#include <QtGlobal>

#include <functional>
#include <stdexcept>

namespace foundation {

// Watches one long operation. Both calls come from the thread doing the
// work, once per buffer; an implementation that serves a window forwards
// them to the UI thread itself.
class IProgressMonitor
{
public:
    virtual ~IProgressMonitor() = default;
    // done of total bytes (total 0 or less: unknown).
    virtual void Progress(qint64 done, qint64 total) = 0;
    // True once the user asked to stop; the operation then ends as cancelled.
    virtual bool CancelRequested() const = 0;
};

// A monitor made of two callables, either of which may be empty; for callers
// that already have a progress callback or a cancel flag.
class TFunctionMonitor final : public IProgressMonitor
{
public:
    using TProgressFn = std::function<void(qint64 done, qint64 total)>;
    using TCancelFn = std::function<bool()>;

    explicit TFunctionMonitor(TProgressFn progress = {}, TCancelFn cancel = {})
        : FProgress(std::move(progress)), FCancel(std::move(cancel))
    {
    }
    void Progress(qint64 done, qint64 total) override
    {
        if (FProgress)
            FProgress(done, total);
    }
    bool CancelRequested() const override { return FCancel && FCancel(); }

private:
    TProgressFn FProgress;
    TCancelFn FCancel;
};

// Convenience for code that takes an optional monitor.
inline void ReportProgress(IProgressMonitor *monitor, qint64 done, qint64 total)
{
    if (monitor)
        monitor->Progress(done, total);
}
inline bool IsCancelRequested(const IProgressMonitor *monitor)
{
    return monitor && monitor->CancelRequested();
}

// Thrown when an operation stops because its monitor asked it to. Callers
// catch it before their other errors: it is not a failure to report as one.
class ECancelled : public std::runtime_error
{
public:
    ECancelled() : std::runtime_error("Cancelled by the user") {}
};

} // namespace foundation
