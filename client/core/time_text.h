#pragma once

#include <cstdint>
#include <string>

// Texts of times shown to the operator.
class TimeText {
public:
    // Elapsed seconds as hh:mm:ss; hours have at least two digits and no
    // upper limit (360000 gives "100:00:00"). Negative counts keep their
    // sign on the hours ("-01:02:05").
    static std::string elapsed(std::int64_t seconds);

    // A message time (seconds since 1970-01-01 00:00:00 UTC, of which the
    // low 32 bits count, read as signed) as asctime writes it, without the
    // newline: "Thu Jan  1 00:00:00 1970". A time the C library cannot
    // convert gives "(time not readable: N)".
    static std::string utc(std::int64_t seconds);

    // A UTC time as ISO 8601 with milliseconds: "2026-12-08T18:20:05.250Z".
    static std::string isoMs(std::int64_t millisecondsSince1970);
    // The same to the second: "2026-12-08T18:20:05Z".
    static std::string isoSeconds(std::int64_t secondsSince1970);
};
