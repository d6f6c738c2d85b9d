#include "record_keys.h"

#include <algorithm>
#include <cstdlib>
#include <random>

namespace Recorder {

namespace {

// seq of a link change: run << linkRunShift | count.
constexpr int linkRunShift = 16;
constexpr int linkRuns = 1 << 15;

int drawRun()
{
    std::random_device random;
    return std::uniform_int_distribution<int>(0, linkRuns - 1)(random);
}

} // namespace

RecordKeys::RecordKeys() : RecordKeys(drawRun()) {}

RecordKeys::RecordKeys(int linkRun) : linkRun_(linkRun % linkRuns) {}

int RecordKeys::Counts::next(std::int64_t timeMs, std::int64_t nowMs)
{
    while (!counts_.empty() && counts_.front().first < nowMs - dayMs)
        counts_.pop_front();
    // Nearly always the newest time, or one after it.
    if (counts_.empty() || counts_.back().first < timeMs) {
        counts_.emplace_back(timeMs, 1);
        return 0;
    }
    if (counts_.back().first == timeMs)
        return counts_.back().second++;
    const auto at = std::lower_bound(counts_.begin(), counts_.end(), std::make_pair(timeMs, 0));
    if (at != counts_.end() && at->first == timeMs)
        return at->second++;
    counts_.insert(at, {timeMs, 1});
    return 0;
}

std::int64_t RecordKeys::fromInstrument(std::int64_t seconds, std::int64_t nowMs)
{
    if (seconds < -dayMs / 1000 * 365 * 1000 || seconds > dayMs / 1000 * 365 * 1000)
        return nowMs;
    const std::int64_t ms = seconds * 1000;
    return std::llabs(ms - nowMs) > dayMs ? nowMs : ms;
}

bool RecordKeys::key(History::Reading& reading, std::int64_t nowMs)
{
    if (reading.housing < 0 || reading.housing >= Housing::count)
        return false;
    reading.arrivalMs = fromInstrument(reading.readingTime, nowMs);
    reading.seq = readings_[reading.housing].next(reading.arrivalMs, nowMs);
    return true;
}

void RecordKeys::key(History::MessageRecord& message, std::int64_t nowMs)
{
    message.arrivalMs = fromInstrument(message.instrumentTime, nowMs);
    message.seq = messages_.next(message.arrivalMs, nowMs);
}

int RecordKeys::runSeq(Counts& counts, std::int64_t nowMs)
{
    return (linkRun_ << linkRunShift) | (counts.next(nowMs, nowMs) & ((1 << linkRunShift) - 1));
}

void RecordKeys::key(History::LinkChange& change, std::int64_t nowMs)
{
    change.timeMs = nowMs;
    change.seq = runSeq(links_, nowMs);
}

void RecordKeys::key(History::SetpointChange& change, std::int64_t nowMs)
{
    change.timeMs = nowMs;
    change.seq = runSeq(setpoints_, nowMs);
}

} // namespace Recorder
