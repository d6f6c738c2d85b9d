#include "archive_buffer.h"

#include <algorithm>
#include <string>

namespace Recorder {

namespace {

// The heap block of a text longer than the string's own room.
std::size_t heapOf(const std::string& text)
{
    return text.capacity() > std::string().capacity() ? text.capacity() + 1 : 0;
}

// Far beyond any outage, and clear of overflow.
constexpr std::uint64_t widestStride = std::uint64_t(1) << 40;

} // namespace

std::size_t ArchiveBuffer::bytesOf(const History::Event& event)
{
    std::size_t texts = 0;
    if (const auto* message = std::get_if<History::MessageRecord>(&event))
        texts = heapOf(message->text);
    else if (const auto* link = std::get_if<History::LinkChange>(&event))
        texts = heapOf(link->reason);
    else if (const auto* alarm = std::get_if<History::AlarmRecord>(&event))
        texts = heapOf(alarm->point) + heapOf(alarm->user);
    return sizeof(History::Event) + texts;
}

ArchiveBuffer::ArchiveBuffer(std::size_t rows, std::size_t eventBytes)
    : rowBound_(std::max<std::size_t>(rows, 2)), byteBound_(eventBytes)
{}

// Keeps each housing's readings at even places: O(n) once per halving, so
// a push costs O(1) on average however long the outage.
void ArchiveBuffer::thin()
{
    std::array<bool, Housing::count> keep;
    keep.fill(true);
    std::size_t kept = 0;
    for (std::size_t i = 0; i < readings_.size(); ++i) {
        bool& keepThis = keep[readings_[i].housing];
        if (keepThis)
            readings_[kept++] = readings_[i];
        keepThis = !keepThis;
    }
    thinned_ += readings_.size() - kept;
    readings_.resize(kept);
    stride_ = std::min(stride_ * 2, widestStride);
}

void ArchiveBuffer::emptied()
{
    stride_ = 1;
    arrived_.fill(0);
}

void ArchiveBuffer::push(const History::Reading& reading)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!Housing::valid(reading.housing)) {
        ++lost_;
        return;
    }
    const std::uint64_t place = arrived_[reading.housing]++;
    if (place % stride_ != 0) {
        ++thinned_;
        return;
    }
    if (!roomForRow() && readings_.size() > 1) {
        thin();
        if (place % stride_ != 0) {
            ++thinned_;
            return;
        }
    }
    if (!roomForRow()) {
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
    const std::size_t size = bytesOf(event);
    if (eventBytes_ + size > byteBound_) {
        ++lost_;
        return;
    }
    if (!roomForRow() && readings_.size() > 1)
        thin();
    if (!roomForRow()) {
        ++lost_;
        return;
    }
    events_.push_back(std::move(event));
    eventBytes_ += size;
    changed_.notify_one();
}

void ArchiveBuffer::take(History::Batch& batch, std::size_t most, std::size_t mostBytes)
{
    batch.clear();
    std::lock_guard<std::mutex> lock(mutex_);
    const std::size_t readings = std::min(most, readings_.size());
    batch.readings.assign(readings_.begin(), readings_.begin() + readings);
    readings_.erase(readings_.begin(), readings_.begin() + readings);
    std::size_t events = 0, bytes = 0;
    while (events < std::min(most, events_.size()) && (events == 0 || bytes < mostBytes))
        bytes += bytesOf(events_[events++]);
    std::move(events_.begin(), events_.begin() + events, std::back_inserter(batch.events));
    events_.erase(events_.begin(), events_.begin() + events);
    eventBytes_ -= bytes;
    if (readings_.empty() && events_.empty())
        emptied();
}

void ArchiveBuffer::drain(History::Batch& batch)
{
    std::lock_guard<std::mutex> lock(mutex_);
    batch.readings.insert(batch.readings.end(), readings_.begin(), readings_.end());
    std::move(events_.begin(), events_.end(), std::back_inserter(batch.events));
    readings_.clear();
    events_.clear();
    eventBytes_ = 0;
    emptied();
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

std::size_t ArchiveBuffer::bytes() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return readings_.size() * sizeof(History::Reading) + eventBytes_;
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
