#pragma once

#include "history_records.h"

#include <variant>
#include <vector>

namespace History {

// A record other than a reading: never thinned.
using Event = std::variant<MessageRecord, SetpointChange, LinkChange, AlarmRecord>;

// What the writer stores in one transaction. Readings and events are kept
// apart: each table is written in its own order.
struct Batch {
    std::vector<Reading> readings;
    std::vector<Event> events;

    bool empty() const { return readings.empty() && events.empty(); }
    void clear()
    {
        readings.clear();
        events.clear();
    }
};

} // namespace History
