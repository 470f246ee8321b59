#pragma once

#include "mailmend/core/MailFolder.h"

#include <QByteArray>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace mailmend {

// Decodes the header blocks of a scan's deleted mails into summaries on a
// thread of its own, so that the scan goes on reading the folder while the
// headers are decoded. The summaries come back in the order the blocks were
// given. Blocks travel in batches, so that the two threads meet once per
// batch rather than once per mail, and at most a few batches wait at any
// time (Submit waits for room): memory stays bounded however many mails a
// folder has.
class TSummaryDecoder
{
public:
    using TTake = std::function<void(TMailSummary &&)>;

    // threaded: decode on a thread of its own (else at once, in Submit).
    explicit TSummaryDecoder(bool threaded = std::thread::hardware_concurrency() > 1);
    // Stops the thread; blocks not yet decoded are dropped.
    ~TSummaryDecoder();

    TSummaryDecoder(const TSummaryDecoder &) = delete;
    TSummaryDecoder &operator=(const TSummaryDecoder &) = delete;

    // A header block as DecodeMailSummary takes it (8-bit or UTF-8 text).
    void Submit(QByteArray headerBlock);
    // Hands the summaries decoded so far to take, in order, without waiting.
    void TakeReady(const TTake &take);
    // Waits until every block given is decoded and hands the rest to take.
    void TakeAll(const TTake &take);

private:
    using TBatch = std::vector<QByteArray>;

    void SendBatch();
    void Work();
    void Take(std::unique_lock<std::mutex> &lock, const TTake &take);

    const bool FThreaded;
    TBatch FFilling; // blocks given since the last batch was sent
    std::mutex FMutex;
    std::condition_variable FChanged;
    std::deque<TBatch> FBatches;       // sent, not yet decoded
    bool FDecoding = false;            // the thread holds a batch
    std::deque<TMailSummary> FDecoded; // decoded, not yet taken
    std::atomic<bool> FAnyDecoded{false};
    bool FStop = false;
    std::thread FThread; // started with the first batch
};

} // namespace mailmend
