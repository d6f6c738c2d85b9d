#include "trend_series.h"

#include <algorithm>
#include <utility>

namespace {

bool earlier(const TrendSample& a, const TrendSample& b)
{
    return a.timeMs < b.timeMs;
}

TrendPoint pointOf(const TrendSample& s, History::Quantity quantity)
{
    if (s.linkGap)
        return {s.timeMs, History::noData};
    return {s.timeMs, quantity == History::Quantity::Temperature ? s.temperature : s.humidity};
}

// From the last sample before `fromMs` (the line comes in from the left).
template<typename Container>
auto startAt(const Container& samples, std::int64_t fromMs)
{
    auto it = std::lower_bound(samples.begin(), samples.end(), TrendSample{fromMs}, earlier);
    return it == samples.begin() ? it : it - 1;
}

} // namespace

void TrendSeries::setHistory(std::vector<TrendSample> samples)
{
    if (!std::is_sorted(samples.begin(), samples.end(), earlier))
        std::stable_sort(samples.begin(), samples.end(), earlier);
    history_ = std::move(samples);
}

void TrendSeries::appendLive(const TrendSample& sample)
{
    // Arrival order is time order, except after the clock was set back.
    if (!live_.empty() && sample.timeMs < live_.back().timeMs)
        live_.clear();
    live_.push_back(sample);
    if (live_.size() > liveLimit)
        live_.pop_front();
}

void TrendSeries::feed(History::Quantity quantity, std::int64_t fromMs, TrendEnvelope& envelope) const
{
    const std::int64_t liveFrom = liveStartMs();
    for (auto it = startAt(history_, fromMs); it != history_.end() && it->timeMs < liveFrom; ++it) {
        envelope.add(pointOf(*it, quantity));
        if (envelope.done())
            return;
    }
    for (auto it = startAt(live_, fromMs); it != live_.end() && !envelope.done(); ++it)
        envelope.add(pointOf(*it, quantity));
}

std::vector<TrendSample> TrendSeries::liveBetween(std::int64_t fromMs, std::int64_t toMs) const
{
    std::vector<TrendSample> out;
    auto it = std::lower_bound(live_.begin(), live_.end(), TrendSample{fromMs}, earlier);
    for (; it != live_.end() && it->timeMs < toMs; ++it)
        if (!it->linkGap)
            out.push_back(*it);
    return out;
}

std::vector<TrendSample> TrendSeries::between(std::int64_t fromMs, std::int64_t toMs) const
{
    std::vector<TrendSample> out;
    const std::int64_t liveFrom = liveStartMs();
    auto it = std::lower_bound(history_.begin(), history_.end(), TrendSample{fromMs}, earlier);
    for (; it != history_.end() && it->timeMs < std::min(toMs, liveFrom); ++it)
        if (!it->linkGap)
            out.push_back(*it);
    const std::vector<TrendSample> live = liveBetween(fromMs, toMs);
    out.insert(out.end(), live.begin(), live.end());
    return out;
}

std::vector<TrendSample> TrendSeries::fromReadings(const std::vector<History::Reading>& readings)
{
    std::vector<TrendSample> out;
    out.reserve(readings.size());
    for (const History::Reading& r : readings)
        out.push_back({r.arrivalMs, r.temperature, r.humidity, r.water, false});
    return out;
}

std::vector<TrendSample> TrendSeries::fromRollups(const std::vector<History::MinuteRollup>& rollups)
{
    std::vector<TrendSample> out;
    out.reserve(rollups.size() * 2);
    for (const History::MinuteRollup& r : rollups) {
        // Both extremes inside the minute, so that an envelope keeps them.
        out.push_back({r.minuteMs + 15000, r.minTemperature, r.minHumidity, r.water, false});
        out.push_back({r.minuteMs + 45000, r.maxTemperature, r.maxHumidity, r.water, false});
    }
    return out;
}

std::vector<TrendSample> TrendSeries::fromBuckets(const std::vector<History::RollupBucket>& buckets)
{
    std::vector<TrendSample> out;
    out.reserve(buckets.size() * 2);
    for (const History::RollupBucket& b : buckets) {
        // As for one minute, so that a bucket of one minute is its rollup.
        out.push_back({b.firstMinuteMs + 15000, b.minTemperature, b.minHumidity, b.water, false});
        out.push_back({b.lastMinuteMs + 45000, b.maxTemperature, b.maxHumidity, b.water, false});
    }
    return out;
}

void TrendSeries::addGaps(std::vector<TrendSample>& samples, const std::vector<History::LinkChange>& changes)
{
    if (changes.empty())
        return;
    for (const History::LinkChange& c : changes) {
        TrendSample gap;
        gap.timeMs = c.timeMs;
        gap.linkGap = true;
        samples.push_back(gap);
    }
    std::stable_sort(samples.begin(), samples.end(), earlier);
}
