#pragma once

#include "alarm_rows.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What `kovalarms list` prints: one line per point, columns aligned, each
// instrument's points from the most severe (the engine's order); one line
// per instrument on its alarm service. Times are UTC, ISO 8601.
namespace AlarmListing {

// A console raises "alarm service lost" after this long without a heartbeat.
inline constexpr std::int64_t lostAfterMs = 30 * 1000;

// "2026-12-08T18:00:30Z"
std::string isoTime(std::int64_t ms);

// `nowMs` tells a shelf in force from one that has ended.
std::vector<std::string> pointLines(std::vector<AlarmsTool::PointRow> rows, std::int64_t nowMs);

// "alarm_service: KOV: kovrecorder on db1, process 4242, last heartbeat 4 s ago"
std::string serviceLine(
    const std::string& instrument, const std::optional<AlarmsTool::ServiceRow>& service, std::int64_t nowMs);

} // namespace AlarmListing
