#pragma once

#include <cstdint>
#include <string>

// What the alarm engine journals: a point raised, cleared (its cause went
// away) or acknowledged by a person. Times are UTC milliseconds since 1970.
enum class AlarmAction {
    Raised = 0,
    Cleared = 1,
    Acknowledged = 2
};

struct AlarmRecord {
    AlarmAction action = AlarmAction::Raised;
    std::string point; // as a person reads it, e.g. "Electronics housing water sensor"
    std::string user;  // who acknowledged, or whose engine raised or cleared
    std::int64_t timeMs = 0;
};
