#include "archive_buffer.h"

#include <algorithm>

namespace Recorder {

ArchiveBuffer::ArchiveBuffer(std::size_t bound) : bound_(std::max<std::size_t>(bound, 2)) {}

// Keeps the readings at even places: O(n) once per halving, so a push
// costs O(1) on average however long the outage.
void ArchiveBuffer::thin()
{
    std::size_t kept = 0;
    for (std::size_t i = 0; i < readings_.size(); i += 2)
        readings_[kept++] = readings_[i];
    thinned_ += readings_.size() - kept;
    readings_.resize(kept);
    stride_ *= 2;
}

void ArchiveBuffer::push(const History::Reading& reading)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (++arrived_ % stride_ != 0) {
        ++thinned_;
        return;
    }
    if (full())
        thin();
    if (full()) {
        ++thinned_; // only events are held: this reading goes
        return;
    }
    readings_.push_back(reading);
    if (readings_.size() % 1024 == 0)
        changed_.notify_one();
}

void ArchiveBuffer::push(History::Event event)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (full() && readings_.size() > 1)
        thin();
    if (full()) {
        ++lost_;
        return;
    }
    events_.push_back(std::move(event));
    changed_.notify_one();
}

void ArchiveBuffer::take(History::Batch& batch, std::size_t most)
{
    batch.clear();
    std::lock_guard<std::mutex> lock(mutex_);
    const std::size_t readings = std::min(most, readings_.size());
    batch.readings.assign(readings_.begin(), readings_.begin() + readings);
    readings_.erase(readings_.begin(), readings_.begin() + readings);
    const std::size_t events = std::min(most, events_.size());
    std::move(events_.begin(), events_.begin() + events, std::back_inserter(batch.events));
    events_.erase(events_.begin(), events_.begin() + events);
    if (readings_.empty() && events_.empty())
        stride_ = 1;
}

void ArchiveBuffer::waitFor(std::chrono::milliseconds limit, std::size_t rows)
{
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(
        lock, limit, [this, rows] { return woken_ || readings_.size() + events_.size() >= rows; });
    woken_ = false;
}

void ArchiveBuffer::wake()
{
    std::lock_guard<std::mutex> lock(mutex_);
    woken_ = true;
    changed_.notify_all();
}

std::size_t ArchiveBuffer::size() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return readings_.size() + events_.size();
}

std::uint64_t ArchiveBuffer::thinned() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return thinned_;
}

std::uint64_t ArchiveBuffer::lost() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return lost_;
}

} // namespace Recorder
