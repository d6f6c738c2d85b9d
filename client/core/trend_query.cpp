#include "trend_query.h"

#include <algorithm>

TrendQuery TrendQuery::forRange(
    std::int64_t shownFromMs, std::int64_t shownToMs, std::int64_t nowMs, int columns)
{
    TrendQuery query;
    const std::int64_t span = shownToMs - shownFromMs;
    const std::int64_t margin = span / 4;
    query.shownFromMs_ = shownFromMs;
    query.shownToMs_ = shownToMs;
    query.fromMs_ = shownFromMs - margin;
    query.toMs_ = std::min(shownToMs + margin, nowMs + TrendRange::minuteMs);
    if (span <= rawLimitMs)
        return query;
    const std::int64_t column = span / std::max(1, columns);
    query.bucketMs_ = History::rollupMs;
    while (query.bucketMs_ * 2 <= column)
        query.bucketMs_ *= 2;
    return query;
}

bool TrendQuery::covers(const TrendQuery& wanted, std::int64_t liveFromMs) const
{
    const bool detail = bucketMs_ == 0 ? wanted.bucketMs_ == 0 : wanted.bucketMs_ >= bucketMs_;
    return detail && fromMs_ <= wanted.shownFromMs_ && (wanted.shownToMs_ <= toMs_ || toMs_ >= liveFromMs);
}

TrendQuery::Answer TrendQuery::read(History::HistorySource& source) const
{
    Answer answer;
    const std::vector<History::LinkChange> links = source.linkChanges(fromMs_, toMs_);
    for (int housing = 0; housing < Housing::count; ++housing) {
        std::vector<TrendSample>& samples = answer.samples[housing];
        if (bucketMs_ != 0)
            samples = TrendSeries::fromBuckets(source.buckets(housing, fromMs_, toMs_, bucketMs_));
        else
            samples = TrendSeries::fromReadings(source.readings(housing, fromMs_, toMs_));
        // Raw readings are kept for a shorter time than the rollups.
        if (samples.empty() && bucketMs_ == 0)
            samples = TrendSeries::fromRollups(source.rollups(housing, fromMs_, toMs_));
        TrendSeries::addGaps(samples, links);
        answer.setpoints[housing] = source.setpoints(housing, fromMs_, toMs_);
    }
    answer.description = source.description();
    answer.error = source.lastError();
    return answer;
}
