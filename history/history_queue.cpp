#include "history_queue.h"

namespace History {

HistoryQueue::HistoryQueue(std::size_t readingCapacity, std::size_t eventCapacity, std::size_t eventBytes)
    : readingCapacity_(readingCapacity), eventCapacity_(eventCapacity), eventBytes_(eventBytes)
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

std::size_t HistoryQueue::textBytes(const Event& event)
{
    if (const auto* message = std::get_if<MessageRecord>(&event))
        return message->text.size();
    if (const auto* link = std::get_if<LinkChange>(&event))
        return link->reason.size();
    if (const auto* alarm = std::get_if<AlarmRecord>(&event))
        return alarm->point.size() + alarm->user.size();
    return 0;
}

void HistoryQueue::push(Event event)
{
    const std::size_t bytes = textBytes(event);
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (queued_.events.size() >= eventCapacity_ || bytes > eventBytes_ - bytes_) {
            ++lost_;
            return;
        }
        queued_.events.push_back(std::move(event));
        const bool halfBytes = bytes_ < eventBytes_ / 2 && bytes_ + bytes >= eventBytes_ / 2;
        bytes_ += bytes;
        wake = queued_.events.size() == eventCapacity_ / 2 || halfBytes;
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
    bytes_ = 0;
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

std::size_t HistoryQueue::bytes() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return bytes_;
}

} // namespace History
