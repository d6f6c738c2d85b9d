#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The alarm service's rows in the archive as kovalarms reads them. Times
// are UTC milliseconds since 1970.
namespace AlarmsTool {

// One row of alarm_state.
struct PointRow {
    std::string instrument;
    std::string key; // "electronics.temperature"
    std::string state;
    std::int64_t sinceMs = 0;
    std::optional<double> value;
    std::optional<double> setpoint;
    bool acknowledged = true;
    std::int64_t shelvedUntilMs = 0;
    std::string actedBy; // who last acknowledged or shelved it
    std::int64_t actedMs = 0;
    std::string comment;
};

// One row of alarm_service.
struct ServiceRow {
    std::string instrument;
    std::string service; // "kovrecorder on HOST, process PID"
    std::int64_t heartbeatMs = 0;
};

// One row of alarm_actions.
struct ActionRow {
    std::int64_t id = 0;
    std::string instrument;
    std::string point;
    std::string action;
    bool done = false;   // done_ms is set
    std::string outcome; // "done", or why not
};

} // namespace AlarmsTool
