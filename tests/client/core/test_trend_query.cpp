// The trends' range, the plots due, what they ask the history and the rows
// of an export, against the made-up history.
#include "fake_history_source.h"
#include "trend_draw_queue.h"
#include "trend_export_rows.h"
#include "trend_query.h"
#include "trend_range.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr std::int64_t minute = TrendRange::minuteMs;
constexpr std::int64_t hour = TrendRange::hourMs;
constexpr std::int64_t day = TrendRange::dayMs;
constexpr std::int64_t t0 = 1'699'999'200'000; // a whole hour

TEST(TrendRange, FollowsInWholeColumnsJustPastNow)
{
    struct Case {
        std::int64_t span;
        int columns;
        std::int64_t now;
    };
    const Case cases[] = {
        {hour, 1200, t0 + 123'456}, {10 * minute, 1, t0 + 59'999}, {30 * day, 1920, t0 - 1},
        {500, 1200, t0 + 7}, // zoomed in below a millisecond a column
    };
    for (const Case& c : cases) {
        TrendRange range;
        range.showLast(c.span, c.now, c.columns);
        const std::int64_t column = std::max<std::int64_t>(1, c.span / c.columns);
        EXPECT_TRUE(range.following());
        EXPECT_EQ(range.toMs() - range.fromMs(), c.span);
        EXPECT_EQ(range.toMs() % column, 0) << c.span;
        // A little past now, so that the newest reading is inside.
        const std::int64_t end = c.now + std::clamp<std::int64_t>(c.span / 200, 1000, minute);
        const std::int64_t to = range.toMs();
        EXPECT_GT(to, end) << c.span;
        EXPECT_LE(to, end + column) << c.span;
        // Within the column nothing moves; at the next one the range moves by one column.
        EXPECT_FALSE(range.follow(c.now + to - end - 1, c.columns)) << c.span;
        EXPECT_EQ(range.toMs(), to);
        ASSERT_TRUE(range.follow(c.now + to - end, c.columns)) << c.span;
        EXPECT_EQ(range.toMs(), to + column);
        EXPECT_EQ(range.toMs() - range.fromMs(), c.span);
    }
}

TEST(TrendRange, AFixedRangeStopsFollowingAndAnEmptyOneIsRefused)
{
    TrendRange range;
    range.showLast(hour, t0, 1000);
    const std::int64_t from = range.fromMs();
    EXPECT_FALSE(range.showRange(t0, t0));
    EXPECT_FALSE(range.showRange(t0, t0 - 1));
    EXPECT_TRUE(range.following());
    EXPECT_EQ(range.fromMs(), from);
    ASSERT_TRUE(range.showRange(t0 - day, t0 - day + 5 * minute));
    EXPECT_FALSE(range.following());
    EXPECT_FALSE(range.follow(t0 + day, 1000));
    EXPECT_EQ(range.fromMs(), t0 - day);
    EXPECT_EQ(range.spanMs(), 5 * minute);
}

TEST(TrendDrawQueue, EachPlotOnceInTheOrderMarked)
{
    using Q = History::Quantity;
    TrendDrawQueue queue;
    queue.mark(7); // not a housing
    queue.mark(1);
    EXPECT_TRUE(queue.marked(1));
    EXPECT_FALSE(queue.marked(0));
    queue.startFrame();
    EXPECT_FALSE(queue.marked(1));
    TrendDrawQueue::Plot p;
    ASSERT_TRUE(queue.take(p));
    EXPECT_EQ(p.housing, 1);
    EXPECT_EQ(p.quantity, Q::Temperature);
    // A frame while (1, humidity) still waits: it is not queued twice.
    queue.markAll();
    queue.startFrame();
    std::vector<std::pair<int, Q>> order;
    while (queue.take(p))
        order.emplace_back(p.housing, p.quantity);
    const std::vector<std::pair<int, Q>> expected{
        {1, Q::Humidity}, {0, Q::Temperature}, {0, Q::Humidity}, {1, Q::Temperature}};
    EXPECT_EQ(order, expected);
    EXPECT_TRUE(queue.empty());
}

TEST(TrendQuery, AQuarterEitherSideNotPastAMinuteFromNowInBucketsNoWiderThanAColumn)
{
    constexpr std::int64_t year = 365 * day;
    struct Case {
        std::int64_t from, to, now;
        int columns;
        std::int64_t queryFrom, queryTo, bucket;
    };
    const Case cases[] = {
        {t0, t0 + hour, t0 + day, 1200, t0 - 15 * minute, t0 + 75 * minute, 0},
        {t0, t0 + hour, t0 + hour, 1200, t0 - 15 * minute, t0 + hour + minute, 0},
        {t0, t0 + 12 * hour, t0 + day, 1200, t0 - 3 * hour, t0 + 15 * hour, 0},
        {t0, t0 + 12 * hour + 4, t0 + day, 1200, t0 - 3 * hour - 1, t0 + 15 * hour + 5,
            minute}, // at least one
        {t0, t0 + 30 * day, t0 + 10 * day, 1200, t0 - 7 * day - 12 * hour, t0 + 10 * day + minute,
            32 * minute},
        {t0, t0 + 30 * day, t0 + 40 * day, 1500, t0 - 7 * day - 12 * hour, t0 + 37 * day + 12 * hour,
            16 * minute},
        {t0 - 5 * year, t0, t0, 1200, t0 - 6 * year - year / 4, t0 + minute, 2048 * minute},
        {t0 - 5 * year, t0, t0, 0, t0 - 6 * year - year / 4, t0 + minute, 2097152 * minute},
    };
    for (const Case& c : cases) {
        const TrendQuery q = TrendQuery::forRange(c.from, c.to, c.now, c.columns);
        EXPECT_EQ(q.fromMs(), c.queryFrom) << c.to - c.from;
        EXPECT_EQ(q.toMs(), c.queryTo) << c.to - c.from;
        EXPECT_EQ(q.bucketMs(), c.bucket) << c.to - c.from;
    }
}

TEST(TrendQuery, AnAnswerCoversShortDragsWhatTheLiveBufferHoldsAndCoarserBuckets)
{
    const std::int64_t now = t0 + 100 * day;
    struct Case {
        std::int64_t loadedTo; // loaded from t0
        std::int64_t from, to, liveFrom;
        int columns;
        bool covered;
    };
    // An hour loaded holds t0 - 15 min to t0 + 75 min.
    const Case cases[] = {
        {hour, t0, t0 + hour, TrendSeries::never, 1200, true},
        {hour, t0 - 15 * minute, t0 + 45 * minute, TrendSeries::never, 1200, true},
        {hour, t0 - 16 * minute, t0 + 44 * minute, TrendSeries::never, 1200, false},
        {hour, t0 + 15 * minute, t0 + 75 * minute, TrendSeries::never, 1200, true},
        {hour, t0 + 16 * minute, t0 + 76 * minute, TrendSeries::never, 1200, false},
        {hour, t0 + 16 * minute, t0 + 76 * minute, t0 + 75 * minute, 1200, true}, // live from its end on
        {hour, t0 + 16 * minute, t0 + 76 * minute, t0 + 75 * minute + 1, 1200, false},
        {hour, t0, t0 + 13 * hour, t0, 1200, false},                      // buckets wanted
        {13 * hour, t0, t0 + 12 * hour, TrendSeries::never, 1200, false}, // raw readings wanted
        {30 * day, t0, t0 + 30 * day, TrendSeries::never, 1200, true},
        {30 * day, t0, t0 + 30 * day, TrendSeries::never, 600, true},        // coarser: the finer buckets do
        {30 * day, t0, t0 + 30 * day, TrendSeries::never, 2400, false},      // finer: no
        {30 * day, t0 + day, t0 + 29 * day, TrendSeries::never, 1200, true}, // zoomed in, same step
        {30 * day, t0 + 8 * day, t0 + 22 * day, TrendSeries::never, 1200, false}, // zoomed in past it
    };
    for (const Case& c : cases) {
        const TrendQuery loaded = TrendQuery::forRange(t0, t0 + c.loadedTo, now, 1200);
        EXPECT_EQ(loaded.covers(TrendQuery::forRange(c.from, c.to, now, c.columns), c.liveFrom), c.covered)
            << c.loadedTo / minute << ": " << (c.from - t0) / minute << " to " << (c.to - t0) / minute
            << " on " << c.columns;
    }
}

std::size_t gaps(const std::vector<TrendSample>& samples)
{
    return std::count_if(samples.begin(), samples.end(), [](const TrendSample& s) { return s.linkGap; });
}

TEST(TrendQuery, ReadsReadingsRollupsWhereTheyAreGoneGapsAndSetpoints)
{
    FakeHistorySource source(t0 - 10 * day, t0 + day);
    source.rawFirstMs = t0 - day;
    source.linkList = {{History::LinkEvent::Lost, "gone", t0 + 30 * minute},
        {History::LinkEvent::Reconnected, "", t0 + 40 * minute},
        {History::LinkEvent::Lost, "", t0 + 3 * day}};
    source.sets[1] = {{t0 - 5 * day, 20.0, 45.0, 30.0, 80.0}, {t0 + 10 * minute, 21.0, 45.0, 30.0, 80.0}};
    struct Case {
        std::int64_t from, to;
        std::size_t samples, gaps; // per housing
        std::int64_t firstMs;
    };
    const Case cases[] = {
        {t0, t0 + hour, 5400 + 2, 2, t0 - 15 * minute}, // raw, 1.5 h of readings
        {t0 - 3 * day, t0 - 3 * day + hour, 2 * 90, 0,
            t0 - 3 * day - 15 * minute + 15000},                                      // raw gone: minutes
        {t0 - 2 * day, t0, 2 * 3 * 24 * 60 + 2, 2, t0 - 2 * day - 12 * hour + 15000}, // buckets of a minute
    };
    for (const Case& c : cases) {
        const TrendQuery::Answer answer =
            TrendQuery::forRange(c.from, c.to, t0 + 10 * day, 2880).read(source);
        for (int housing = 0; housing < Housing::count; ++housing) {
            const std::vector<TrendSample>& s = answer.samples[housing];
            ASSERT_EQ(s.size(), c.samples) << c.from - t0;
            EXPECT_EQ(gaps(s), c.gaps);
            EXPECT_EQ(s.front().timeMs, c.firstMs);
            EXPECT_TRUE(std::is_sorted(s.begin(), s.end(),
                [](const TrendSample& a, const TrendSample& b) { return a.timeMs < b.timeMs; }));
        }
        EXPECT_TRUE(answer.setpoints[0].empty());
        EXPECT_EQ(answer.setpoints[1].front().tempWarning, 20.0);
        EXPECT_EQ(answer.description, "made-up history");
    }
    const TrendQuery::Answer raw = TrendQuery::forRange(t0, t0 + hour, t0 + day, 1200).read(source);
    EXPECT_EQ(raw.samples[1].front().temperature, FakeHistorySource::temperatureAt(1, t0 - 15 * minute));
    EXPECT_EQ(raw.setpoints[1].size(), 2u);
}

TEST(TrendQuery, LongRangesReadAtMostTwoBucketsAColumnWithTheirExtremes)
{
    FakeHistorySource source(t0 - 160 * day, t0);
    struct Case {
        std::int64_t span;
        int columns;
    };
    const Case cases[] = {{day, 1200}, {30 * day, 1200}, {120 * day, 1200}, {120 * day, 7}};
    for (const Case& c : cases) {
        const TrendQuery q = TrendQuery::forRange(t0 - c.span, t0, t0, c.columns);
        const TrendQuery::Answer answer = q.read(source);
        const std::vector<History::MinuteRollup> minutes = source.rollups(1, q.fromMs(), q.toMs());
        const std::vector<TrendSample>& s = answer.samples[1];
        // The query spans 1.25 ranges: at most two buckets of two samples a column, and one either end.
        EXPECT_LE(s.size(), 2 * (2 * c.columns * 5 / 4 + 2)) << c.span / day;
        if (q.bucketMs() > minute)
            EXPECT_LT(s.size(), minutes.size()) << c.span / day;
        const auto [low, high] = std::minmax_element(s.begin(), s.end(),
            [](const TrendSample& a, const TrendSample& b) { return a.temperature < b.temperature; });
        double least = minutes.front().minTemperature, greatest = minutes.front().maxTemperature;
        for (const History::MinuteRollup& m : minutes) {
            least = std::min(least, m.minTemperature);
            greatest = std::max(greatest, m.maxTemperature);
        }
        EXPECT_EQ(low->temperature, least) << c.span / day;
        EXPECT_EQ(high->temperature, greatest) << c.span / day;
    }
}

struct Row {
    int housing;
    TrendSample sample;
};

std::vector<Row> exported(const TrendExportRows& rows, History::HistorySource* source)
{
    std::vector<Row> out;
    rows.run(source, [&](int housing, const TrendSample& s) { out.push_back({housing, s}); });
    return out;
}

TEST(TrendExportRows, StoredUpToTheLiveBufferThenLiveInTimeOrder)
{
    FakeHistorySource source(t0 - day, t0 + day);
    const std::int64_t from = t0 + 500, to = t0 + 150 * minute + 500; // not on whole seconds or hours
    const std::int64_t liveFrom = t0 + 90 * minute;
    std::vector<TrendSample> live; // twice a second, marked by their temperature
    for (std::int64_t t = liveFrom; t < to; t += 500)
        live.push_back({t, -1.0, 50.0, false, false});
    TrendExportRows rows(from, to);
    rows.setLive(0, live, liveFrom);
    rows.setLive(1, {}, TrendSeries::never);

    struct Case {
        History::HistorySource* source;
        std::size_t stored[2];
    };
    const Case cases[] = {{&source, {90 * 60 - 1, 150 * 60}}, {nullptr, {0, 0}}};
    for (const Case& c : cases) {
        const std::vector<Row> out = exported(rows, c.source);
        std::size_t stored[2] = {0, 0}, fromLive = 0;
        for (std::size_t i = 0; i < out.size(); ++i) {
            const Row& r = out[i];
            ASSERT_GE(r.sample.timeMs, from);
            ASSERT_LT(r.sample.timeMs, to);
            if (i > 0) {
                const Row& p = out[i - 1];
                ASSERT_LE(p.sample.timeMs, r.sample.timeMs);
                if (p.sample.timeMs == r.sample.timeMs)
                    EXPECT_LT(p.housing, r.housing); // housing by housing at one time
            }
            const bool isLive = r.sample.temperature == -1.0;
            if (isLive) {
                EXPECT_EQ(r.housing, 0);
                ++fromLive;
                continue;
            }
            ++stored[r.housing];
            // Where the live buffer holds everything, the store's rows are left out.
            EXPECT_TRUE(r.housing == 1 || r.sample.timeMs < liveFrom) << r.sample.timeMs - t0;
            EXPECT_EQ(r.sample.temperature, FakeHistorySource::temperatureAt(r.housing, r.sample.timeMs));
        }
        EXPECT_EQ(fromLive, live.size());
        EXPECT_EQ(stored[0], c.stored[0]);
        EXPECT_EQ(stored[1], c.stored[1]);
    }
}

} // namespace
