#include "mailmend/core/SummaryDecoder.h"

#include "mailmend/core/MailSummary.h"

namespace mailmend {

namespace {

// Mails per batch, and batches on their way: enough to keep both threads
// busy, few enough to stay small (a block is at most MaxSummaryHeaderBytes,
// usually a few hundred bytes).
constexpr size_t BatchSize = 32;
constexpr size_t MaxWaitingBatches = 4;

} // namespace

TSummaryDecoder::TSummaryDecoder(bool threaded)
    : FThreaded(threaded)
{
}

TSummaryDecoder::~TSummaryDecoder()
{
    if (!FThread.joinable())
        return;
    {
        const std::lock_guard<std::mutex> lock(FMutex);
        FStop = true;
    }
    FChanged.notify_all();
    FThread.join();
}

void TSummaryDecoder::Submit(QByteArray headerBlock)
{
    if (!FThreaded) {
        FDecoded.push_back(DecodeMailSummary(headerBlock));
        FAnyDecoded = true;
        return;
    }
    FFilling.push_back(std::move(headerBlock));
    if (FFilling.size() >= BatchSize)
        SendBatch();
}

void TSummaryDecoder::SendBatch()
{
    if (FFilling.empty())
        return;
    if (!FThread.joinable())
        FThread = std::thread([this] { Work(); });
    std::unique_lock<std::mutex> lock(FMutex);
    FChanged.wait(lock, [this] { return FBatches.size() < MaxWaitingBatches; });
    FBatches.push_back(std::move(FFilling));
    FFilling = TBatch();
    FFilling.reserve(BatchSize);
    lock.unlock();
    FChanged.notify_all();
}

void TSummaryDecoder::Work()
{
    std::unique_lock<std::mutex> lock(FMutex);
    for (;;) {
        FChanged.wait(lock, [this] { return FStop || !FBatches.empty(); });
        if (FStop)
            return;
        const TBatch batch = std::move(FBatches.front());
        FBatches.pop_front();
        FDecoding = true;
        lock.unlock();
        FChanged.notify_all(); // room for another batch
        std::vector<TMailSummary> summaries;
        summaries.reserve(batch.size());
        for (const QByteArray &block : batch)
            summaries.push_back(DecodeMailSummary(block));
        lock.lock();
        FDecoding = false;
        for (TMailSummary &summary : summaries)
            FDecoded.push_back(std::move(summary));
        FAnyDecoded = true;
        FChanged.notify_all();
    }
}

void TSummaryDecoder::Take(std::unique_lock<std::mutex> &lock, const TTake &take)
{
    std::deque<TMailSummary> decoded;
    decoded.swap(FDecoded);
    FAnyDecoded = false;
    lock.unlock();
    for (TMailSummary &summary : decoded)
        take(std::move(summary));
}

void TSummaryDecoder::TakeReady(const TTake &take)
{
    // Most calls find nothing new: they cost no lock.
    if (!FAnyDecoded)
        return;
    std::unique_lock<std::mutex> lock(FMutex);
    Take(lock, take);
}

void TSummaryDecoder::TakeAll(const TTake &take)
{
    SendBatch();
    std::unique_lock<std::mutex> lock(FMutex);
    FChanged.wait(lock, [this] { return FBatches.empty() && !FDecoding; });
    Take(lock, take);
}

} // namespace mailmend
