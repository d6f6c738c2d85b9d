#pragma once

#include "alarm_setpoints.h"
#include "alarm_settings.h"
#include "history_records.h"
#include "housing.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Recorder {

// What the recorder takes from its configuration file, a file in kov.cfg's
// format: the four setpoints of each housing ("KOV-E1-TEMP_ALARM_SETPOINTS
// 24.00,32.00" and the like) and the alarm items (deadband, delay, stale
// limit). Unlike a console, which keeps a default for an item it cannot
// read, the recorder refuses the whole file then: it runs unattended, and
// a limit quietly back at its default is worse than the old file kept.
struct RecorderSettings {
    // The package's file.
    static constexpr const char* defaultPath = "/etc/kovrecorder/kov.cfg";

    AlarmSettings alarms;
    std::array<AlarmSetpoints, Housing::count> setpoints{};

    // Empty with `error` set (why, naming the file) when the file cannot be
    // read or holds an item that cannot be.
    static std::optional<RecorderSettings> read(const std::string& path, std::string& error);

    // One change per setpoint that differs from `before`, at `timeMs`.
    std::vector<History::SetpointChange> changesFrom(
        const RecorderSettings& before, std::int64_t timeMs) const;
    // Every setpoint as a change whose old and new values are equal: the
    // setpoints in force at a start.
    std::vector<History::SetpointChange> inForce(std::int64_t timeMs) const;

    bool alarmsDiffer(const RecorderSettings& other) const;
};

} // namespace Recorder
