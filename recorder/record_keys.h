#pragma once

#include "history_records.h"
#include "housing.h"

#include <array>
#include <cstdint>
#include <deque>
#include <utility>

namespace Recorder {

// Gives every record its key in the archive when it arrives, so that a
// batch written again after a lost connection, or the same reading written
// by a second recorder of the same instrument, hits the same key and is
// ignored. A reading's key is (housing, arrival_ms, seq): arrival_ms is the
// instrument's own time stamp (whole seconds) and seq counts the housing's
// readings of that second in the order they arrived, so two recorders that
// saw the same readings agree. Times are never moved: a burst, a reading
// stamped ahead or an instrument clock that steps back only count on in
// their own second. A time stamp further than a day from `nowMs` (an
// instrument without a clock) is replaced by the arrival time.
class RecordKeys {
public:
    // Draws the number that sets this run's link changes apart.
    RecordKeys();
    explicit RecordKeys(int linkRun);

    // Sets reading.arrivalMs and seq; false for a housing the archive has
    // no place for.
    bool key(History::Reading& reading, std::int64_t nowMs);
    // Sets message.arrivalMs and seq the same way, from the message's own time.
    void key(History::MessageRecord& message, std::int64_t nowMs);
    // Sets change.timeMs to the recorder's own clock; seq is this run's
    // number (high bits) and a count within the millisecond, so that a later
    // run on a clock set back cannot meet an earlier run's key but by a
    // chance of one in 32,768 on the very millisecond.
    void key(History::LinkChange& change, std::int64_t nowMs);
    // The same for a setpoint change: a change from the recorder's own
    // configuration file, at the recorder's own time.
    void key(History::SetpointChange& change, std::int64_t nowMs);

    // Times this far behind the clock are forgotten: no key can come from
    // them any more.
    static constexpr std::int64_t dayMs = 24LL * 3600 * 1000;

private:
    // How many records each time has had: the next one takes that number.
    class Counts {
    public:
        int next(std::int64_t timeMs, std::int64_t nowMs);

    private:
        std::deque<std::pair<std::int64_t, int>> counts_; // in time order
    };

    static std::int64_t fromInstrument(std::int64_t seconds, std::int64_t nowMs);
    // This run's number and the count within the millisecond.
    int runSeq(Counts& counts, std::int64_t nowMs);

    std::array<Counts, Housing::count> readings_;
    Counts messages_;
    Counts links_;
    Counts setpoints_;
    int linkRun_;
};

} // namespace Recorder
