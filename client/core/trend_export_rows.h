#pragma once

#include "history_source.h"
#include "housing.h"
#include "trend_range.h"
#include "trend_series.h"

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

// The readings an export of [fromMs, toMs) writes: per housing the stored
// ones up to where its live buffer holds everything, and the live ones from
// there on (the store may not have written them yet). Read from the store
// and merged in time order an hour at a time, so that a month of readings
// never sits in memory at once.
class TrendExportRows {
public:
    static constexpr std::int64_t stepMs = TrendRange::hourMs;
    using Sink = std::function<void(int housing, const TrendSample& sample)>;

    TrendExportRows(std::int64_t fromMs, std::int64_t toMs);

    // A housing's live samples in the range, in time order, and the time from
    // which its live buffer holds everything (TrendSeries::never when empty).
    void setLive(int housing, std::vector<TrendSample> samples, std::int64_t liveFromMs);

    // Hands every row to `sink` in time order (at equal times, housing by
    // housing, stored before live). Without a source only the live rows.
    void run(History::HistorySource* source, const Sink& sink) const;

private:
    std::int64_t fromMs_;
    std::int64_t toMs_;
    std::array<std::vector<TrendSample>, Housing::count> live_;
    std::array<std::int64_t, Housing::count> liveFromMs_;
};
