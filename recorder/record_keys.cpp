#include "record_keys.h"

#include <cstdlib>

namespace Recorder {

namespace {
constexpr std::int64_t dayMs = 24LL * 3600 * 1000;
}

std::int64_t RecordKeys::next(std::int64_t& last, std::int64_t wanted)
{
    last = (last != none && wanted <= last) ? last + 1 : wanted;
    return last;
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
    reading.arrivalMs = next(lastReading_[reading.housing], fromInstrument(reading.readingTime, nowMs));
    return true;
}

void RecordKeys::key(History::MessageRecord& message, std::int64_t nowMs)
{
    message.arrivalMs = next(lastMessage_, fromInstrument(message.instrumentTime, nowMs));
}

void RecordKeys::key(History::LinkChange& change, std::int64_t nowMs)
{
    change.timeMs = next(lastLink_, nowMs);
}

} // namespace Recorder
