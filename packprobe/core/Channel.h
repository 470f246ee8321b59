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
            std::lock_guard lock(m_mutex);
            m_items.push_back(std::move(item));
        }
        m_changed.notify_one();
    }

    std::optional<T> Pop()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_closed || !m_items.empty(); });
        if (m_closed)
            return std::nullopt;
        T item = std::move(m_items.front());
        m_items.pop_front();
        return item;
    }

    void Close()
    {
        {
            std::lock_guard lock(m_mutex);
            m_closed = true;
        }
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<T> m_items;
    bool m_closed = false;
};

} // namespace packprobe
