#pragma once

#include "history_source.h"
#include "housing.h"
#include "trend_range.h"
#include "trend_series.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// What the trends ask the history for one range shown, and the answer. The
// query reaches a quarter of the range further on either side, so that a
// short drag needs no new answer, and not past a minute from now. Ranges up
// to rawLimitMs are read as raw readings. Longer ones are read as the
// rollups summarised in the store per bucket, a bucket as wide as a pixel
// column or up to half as wide (whole minutes by powers of two, so that a
// drag or a small zoom keeps the buckets): at most two rows a column
// however long the range, each with its least and greatest value, so that a
// one-reading spike still shows.
class TrendQuery {
public:
    static constexpr std::int64_t rawLimitMs = 12 * TrendRange::hourMs;

    struct Answer {
        std::array<std::vector<TrendSample>, Housing::count> samples;
        std::array<std::vector<History::SetpointsInForce>, Housing::count> setpoints;
        std::string description;
        std::string error;
    };

    // The query for the range [shownFromMs, shownToMs) at `nowMs`, drawn on
    // `columns` pixel columns.
    static TrendQuery forRange(
        std::int64_t shownFromMs, std::int64_t shownToMs, std::int64_t nowMs, int columns);

    // Whether this query's answer already holds what `wanted` shows: at the
    // same detail or a finer one, from the start of the range shown to its
    // end, or to where
    // the live buffer holds everything (`liveFromMs`).
    bool covers(const TrendQuery& wanted, std::int64_t liveFromMs) const;

    // Asks `source` (on the reader's thread): per housing the samples with
    // the link changes as gaps, and the setpoints in force.
    Answer read(History::HistorySource& source) const;

    std::int64_t fromMs() const { return fromMs_; }
    std::int64_t toMs() const { return toMs_; }
    // The width of the buckets read; 0 for raw readings.
    std::int64_t bucketMs() const { return bucketMs_; }

private:
    std::int64_t shownFromMs_ = 0;
    std::int64_t shownToMs_ = 0;
    std::int64_t fromMs_ = 0;
    std::int64_t toMs_ = 0;
    std::int64_t bucketMs_ = 0;
};
