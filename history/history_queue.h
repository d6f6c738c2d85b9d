#pragma once

#include "history_batch.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace History {

// The hand-over between the threads that produce records and the writer.
// Bounded both ways: a reading that finds its queue full is thinned (dropped
// and counted); an event that finds its (larger) queue full is lost and
// counted too, which only a writer stuck for minutes lets happen. Events
// are bounded by the bytes of their texts as well, so that huge message
// texts cannot fill the memory before the count is reached. A push
// holds the lock for one copy into storage reserved up front, and wakes the
// writer only when a queue passes half full, so the pushing thread neither
// allocates (but for message texts) nor waits on the disk.
class HistoryQueue {
public:
    HistoryQueue(std::size_t readingCapacity, std::size_t eventCapacity, std::size_t eventBytes);

    void push(const Reading& reading);
    void push(Event event);

    // Moves everything queued into `batch` (emptied first); batch's storage
    // is swapped in, so keep handing the same batch back.
    void take(Batch& batch);

    // Waits until a queue is half full, wake() is called or `until` passes.
    template<class TimePoint>
    void waitUntil(const TimePoint& until)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        woken_.wait_until(lock, until, [this] { return wake_; });
        wake_ = false;
    }
    void wake();

    std::uint64_t thinned() const;
    std::uint64_t lost() const;
    // Bytes of text queued now.
    std::size_t bytes() const;

    // The bytes of text an event brings.
    static std::size_t textBytes(const Event& event);

private:
    void reserve(Batch& batch) const;

    const std::size_t readingCapacity_;
    const std::size_t eventCapacity_;
    const std::size_t eventBytes_;
    std::size_t bytes_ = 0;
    mutable std::mutex mutex_;
    std::condition_variable woken_;
    Batch queued_;
    bool wake_ = false;
    std::uint64_t thinned_ = 0;
    std::uint64_t lost_ = 0;
};

} // namespace History
