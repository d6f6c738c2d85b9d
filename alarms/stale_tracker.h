#pragma once

#include "housing.h"

#include <array>
#include <cstdint>
#include <optional>

// How old each housing's latest reading is, and whether it is too old to
// show as current. A housing that never sent a reading counts from the
// start, so that an instrument that sends nothing is noticed as well.
class StaleTracker {
public:
    // limitSeconds 0: nothing is ever stale. Times in milliseconds of one
    // monotonic clock.
    StaleTracker(int limitSeconds, std::int64_t startMs);

    void setLimit(int limitSeconds);
    void reading(int housing, std::int64_t nowMs);
    // Whole seconds since the housing's latest reading; none before the first.
    std::optional<std::int64_t> ageSeconds(int housing, std::int64_t nowMs) const;
    bool stale(int housing, std::int64_t nowMs) const;

private:
    static bool valid(int housing) { return housing >= 0 && housing < Housing::count; }

    std::int64_t limitMs_;
    std::int64_t startMs_;
    std::array<std::optional<std::int64_t>, Housing::count> last_;
};
