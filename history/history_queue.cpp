#include "history_queue.h"

namespace History {

HistoryQueue::HistoryQueue(std::size_t readingCapacity, std::size_t eventCapacity)
    : readingCapacity_(readingCapacity), eventCapacity_(eventCapacity)
{
    reserve(queued_);
}

void HistoryQueue::reserve(Batch& batch) const
{
    batch.readings.reserve(readingCapacity_);
    batch.events.reserve(eventCapacity_);
}

void HistoryQueue::push(const Reading& reading)
{
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (queued_.readings.size() >= readingCapacity_) {
            ++thinned_;
            return;
        }
        queued_.readings.push_back(reading);
        wake = queued_.readings.size() == readingCapacity_ / 2;
    }
    if (wake)
        this->wake();
}

void HistoryQueue::push(Event event)
{
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (queued_.events.size() >= eventCapacity_) {
            ++lost_;
            return;
        }
        queued_.events.push_back(std::move(event));
        wake = queued_.events.size() == eventCapacity_ / 2;
    }
    if (wake)
        this->wake();
}

void HistoryQueue::take(Batch& batch)
{
    batch.clear();
    reserve(batch);
    std::lock_guard<std::mutex> lock(mutex_);
    std::swap(batch.readings, queued_.readings);
    std::swap(batch.events, queued_.events);
}

void HistoryQueue::wake()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        wake_ = true;
    }
    woken_.notify_one();
}

std::uint64_t HistoryQueue::thinned() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return thinned_;
}

std::uint64_t HistoryQueue::lost() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return lost_;
}

} // namespace History
