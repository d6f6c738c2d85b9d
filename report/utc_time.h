#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Times as the report writes and reads them: UTC throughout, no locale, no
// Qt. Times are milliseconds since 1970.
namespace UtcTime {

// "2026-12-08", "2026-12-08T18:00", "2026-12-08 18:00:30", each with an
// optional trailing "Z"; nothing else (no other zone).
std::optional<std::int64_t> parse(const std::string& text);

// "2026-12-08 18:00" (to the minute, rounded down) and "2026-12-08 18:00:30".
std::string minute(std::int64_t ms);
std::string second(std::int64_t ms);
// "18:00" of the day.
std::string clock(std::int64_t ms);

// A length as a person reads it: "45 s", "12 min", "3 h 05 min" (to 48 h), "2 d 4 h".
std::string duration(std::int64_t ms);

} // namespace UtcTime
