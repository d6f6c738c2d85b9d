#pragma once

#include <cstdint>
#include <limits>
#include <string>

// What the alarm engine journals: a point raised, cleared (its cause went
// away), acknowledged, shelved, unshelved by a person or back from the
// shelf when its time ran out. Times are UTC milliseconds since 1970.
enum class AlarmAction {
    Raised = 0,
    Cleared = 1,
    Acknowledged = 2,
    Shelved = 3,
    Unshelved = 4,
    ShelfExpired = 5
};

struct AlarmRecord {
    AlarmAction action = AlarmAction::Raised;
    std::string point; // as a person reads it, e.g. "Electronics housing water sensor"
    std::string user;  // who acted, or whose engine raised, cleared or ended a shelf
    std::int64_t timeMs = 0;
    std::string pointKey;     // e.g. "electronics.water"
    std::string comment;      // the person's, with an acknowledgement or a shelf
    std::int64_t untilMs = 0; // Shelved: when the shelf ends
    // Raised and Cleared of a temperature or humidity: the value and the
    // over-limit setpoint it was judged against; no data otherwise.
    double value = std::numeric_limits<double>::quiet_NaN();
    double setpoint = std::numeric_limits<double>::quiet_NaN();
};
