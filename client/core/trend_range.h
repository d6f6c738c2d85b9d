#pragma once

#include <cstdint>

// The time range the trends show: the last stretch of a length up to now,
// following the live readings, or a fixed range (as after a drag or a zoom).
// Times are UTC milliseconds; the range is [fromMs, toMs).
class TrendRange {
public:
    static constexpr std::int64_t minuteMs = 60 * 1000;
    static constexpr std::int64_t hourMs = 60 * minuteMs;
    static constexpr std::int64_t dayMs = 24 * hourMs;

    // The last `spanMs` up to `nowMs`, following from now on.
    void showLast(std::int64_t spanMs, std::int64_t nowMs, int columns);
    // A fixed range, not following; false (and nothing changed) when it is
    // empty.
    bool showRange(std::int64_t fromMs, std::int64_t toMs);
    // While following: the range ends a little after `nowMs`, so that the
    // newest reading is inside, and moves in whole pixel columns of a plot
    // `columns` wide. True when it moved (everything is to be drawn anew).
    bool follow(std::int64_t nowMs, int columns);

    bool following() const { return following_; }
    std::int64_t fromMs() const { return fromMs_; }
    std::int64_t toMs() const { return toMs_; }
    std::int64_t spanMs() const { return spanMs_; }

private:
    std::int64_t spanMs_ = hourMs;
    std::int64_t fromMs_ = 0;
    std::int64_t toMs_ = 0;
    bool following_ = true;
};
