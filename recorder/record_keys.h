#pragma once

#include "history_records.h"
#include "housing.h"

#include <array>
#include <cstdint>
#include <limits>

namespace Recorder {

// Gives every record its key in the archive when it arrives, so that a
// batch written again after a lost connection, or the same reading written
// by a second recorder of the same instrument, hits the same key and is
// ignored. A reading's key is (housing, arrival_ms) and arrival_ms is taken
// from the instrument's own time stamp (whole seconds): its first reading
// of a second gets the second's first millisecond, each further one the
// next. Two recorders that saw the same second therefore agree; at more
// than 1000 readings a second a housing's keys run ahead of its clock.
// A time stamp further than a day from `nowMs` (an instrument without a
// clock) is replaced by the arrival time.
class RecordKeys {
public:
    // Sets reading.arrivalMs; false for a housing the archive has no place for.
    bool key(History::Reading& reading, std::int64_t nowMs);
    // Sets message.arrivalMs the same way, from the message's own time.
    void key(History::MessageRecord& message, std::int64_t nowMs);
    // Sets change.timeMs: the recorder's own clock, one millisecond on when taken.
    void key(History::LinkChange& change, std::int64_t nowMs);

private:
    static constexpr std::int64_t none = std::numeric_limits<std::int64_t>::min();
    static std::int64_t next(std::int64_t& last, std::int64_t wanted);
    static std::int64_t fromInstrument(std::int64_t seconds, std::int64_t nowMs);

    std::array<std::int64_t, Housing::count> lastReading_{none, none};
    std::int64_t lastMessage_ = none;
    std::int64_t lastLink_ = none;
};

} // namespace Recorder
