#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

namespace packprobe {

// A queue between two threads. Push never waits; Pop waits for an item and
// gives nothing once the channel is closed, whatever is still queued.
//
// Used in pairs over a fixed set of buffers: one channel carries empty
// buffers to a producer, the other carries them filled to the consumer and
// back, so memory stays bounded by the number of buffers. Closing the
// channel a thread waits on stops that thread.
template <typename T>
class TChannel
{
public:
    void Push(T item)
    {
        {
            std::lock_guard lock(FMutex);
            FItems.push_back(std::move(item));
        }
        FChanged.notify_one();
    }

    std::optional<T> Pop()
    {
        std::unique_lock lock(FMutex);
        FChanged.wait(lock, [this] { return FClosed || !FItems.empty(); });
        if (FClosed)
            return std::nullopt;
        T item = std::move(FItems.front());
        FItems.pop_front();
        return item;
    }

    void Close()
    {
        {
            std::lock_guard lock(FMutex);
            FClosed = true;
        }
        FChanged.notify_all();
    }

private:
    std::mutex FMutex;
    std::condition_variable FChanged;
    std::deque<T> FItems;
    bool FClosed = false;
};

} // namespace packprobe
