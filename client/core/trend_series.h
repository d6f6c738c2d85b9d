#pragma once

#include "history_source.h"
#include "trend_envelope.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <limits>
#include <vector>

// One moment of a housing's trend. A link gap marks where the link went down
// or the client started: no line is drawn across it.
struct TrendSample {
    std::int64_t timeMs = 0;
    double temperature = History::noData;
    double humidity = History::noData;
    bool water = false;
    bool linkGap = false;
};

// What a housing's trends show: the history's answer for a range and the
// readings that arrived since the window began to follow them (the live
// buffer, bounded). Where both know a time, the live buffer wins, since the
// store may not have written it yet.
class TrendSeries {
public:
    static constexpr std::size_t liveLimit = 200000;
    static constexpr std::int64_t never = std::numeric_limits<std::int64_t>::max();

    void setHistory(std::vector<TrendSample> samples);
    void appendLive(const TrendSample& sample);

    // The time from which the live buffer holds everything; never when empty.
    std::int64_t liveStartMs() const { return live_.empty() ? never : live_.front().timeMs; }

    // Feeds one channel's samples around [envelope's range] into `envelope`.
    void feed(History::Quantity quantity, std::int64_t fromMs, TrendEnvelope& envelope) const;
    // Every sample (not the gaps) in [fromMs, toMs), in time order.
    std::vector<TrendSample> between(std::int64_t fromMs, std::int64_t toMs) const;
    // The live samples in [fromMs, toMs).
    std::vector<TrendSample> liveBetween(std::int64_t fromMs, std::int64_t toMs) const;

    // History answers as samples: readings, rollups (least and greatest of
    // each minute), buckets of rollups (least and greatest of each, within
    // its first and last minute) and link changes as gaps.
    static std::vector<TrendSample> fromReadings(const std::vector<History::Reading>& readings);
    static std::vector<TrendSample> fromRollups(const std::vector<History::MinuteRollup>& rollups);
    static std::vector<TrendSample> fromBuckets(const std::vector<History::RollupBucket>& buckets);
    static void addGaps(std::vector<TrendSample>& samples, const std::vector<History::LinkChange>& changes);

private:
    std::vector<TrendSample> history_;
    std::deque<TrendSample> live_;
};
