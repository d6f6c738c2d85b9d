// The shift report's reads of the made-up history, computed plainly from
// its readings and lists: what the database computes, one row at a time.
#include "fake_history_source.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

using namespace History;

namespace {

bool valid(double value)
{
    return std::isfinite(value) && value != -1.0;
}

void count(LevelCounts& c, double value, double warning, double over)
{
    if (!valid(value))
        return;
    ++c.count;
    c.least = std::isnan(c.least) ? value : std::min(c.least, value);
    c.greatest = std::isnan(c.greatest) ? value : std::max(c.greatest, value);
    c.sum += value;
    if (value >= over)
        ++c.overLimit;
    else if (value >= std::min(warning, over))
        ++c.inWarning;
}

void extreme(double& least, double& greatest, double& sum, int& n, double value)
{
    if (!valid(value))
        return;
    least = std::isnan(least) ? value : std::min(least, value);
    greatest = std::isnan(greatest) ? value : std::max(greatest, value);
    sum += value;
    ++n;
}

// The records of one point in journal order.
std::map<std::string, std::vector<AlarmRecord>> byPoint(
    const std::vector<AlarmRecord>& records, std::int64_t toMs)
{
    std::map<std::string, std::vector<AlarmRecord>> points;
    for (const AlarmRecord& r : records)
        if (r.timeMs < toMs)
            points[r.point].push_back(r);
    for (auto& [name, list] : points)
        std::stable_sort(list.begin(), list.end(),
            [](const AlarmRecord& a, const AlarmRecord& b) { return a.timeMs < b.timeMs; });
    return points;
}

bool isOneOf(AlarmAction action, std::initializer_list<AlarmAction> actions)
{
    return std::find(actions.begin(), actions.end(), action) != actions.end();
}

} // namespace

ReadingSummary FakeHistorySource::readingSummary(
    int housing, std::int64_t fromMs, std::int64_t toMs, const SetpointsInForce& limits, bool)
{
    ReadingSummary s;
    for (const Reading& r : readings(housing, fromMs, toMs)) {
        if (s.readings == 0)
            s.firstMs = r.arrivalMs;
        s.lastMs = r.arrivalMs;
        ++s.readings;
        count(s.temperature, r.temperature, limits.tempWarning, limits.overTemp);
        count(s.humidity, r.humidity, limits.rhWarning, limits.overRh);
        s.waterAlarm += r.water ? 1 : 0;
    }
    return s;
}

std::vector<ReadingGap> FakeHistorySource::readingGaps(
    int housing, std::int64_t fromMs, std::int64_t toMs, std::int64_t longerThanMs, bool)
{
    std::vector<ReadingGap> gaps;
    const std::vector<Reading> rows = readings(housing, fromMs, toMs);
    for (std::size_t i = 1; i < rows.size(); ++i)
        if (rows[i].arrivalMs - rows[i - 1].arrivalMs > longerThanMs)
            gaps.push_back({rows[i - 1].arrivalMs, rows[i].arrivalMs});
    return gaps;
}

std::int64_t FakeHistorySource::usualIntervalMs(
    int housing, std::int64_t fromMs, std::int64_t toMs, bool perMinute)
{
    const std::vector<Reading> rows = readings(housing, fromMs, toMs);
    std::map<std::int64_t, int> counts;
    if (perMinute) {
        std::map<std::int64_t, int> perMinuteCount;
        for (const Reading& r : rows)
            ++perMinuteCount[r.arrivalMs / 60000];
        for (const auto& [m, n] : perMinuteCount)
            ++counts[-n]; // most readings first among equals
        if (counts.empty())
            return 0;
        const auto best = std::max_element(
            counts.begin(), counts.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
        return 60000 / -best->first;
    }
    for (std::size_t i = 1; i < rows.size(); ++i)
        ++counts[(rows[i].arrivalMs - rows[i - 1].arrivalMs + 50) / 100];
    if (counts.empty())
        return 0;
    const auto best = std::max_element(
        counts.begin(), counts.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
    return std::max<std::int64_t>(1, best->first * 100);
}

std::vector<MinuteRollup> FakeHistorySource::readingBuckets(
    int housing, std::int64_t fromMs, std::int64_t toMs, std::int64_t bucketMs)
{
    std::vector<MinuteRollup> out;
    if (bucketMs <= 0)
        return out;
    int nt = 0, nh = 0;
    double st = 0, sh = 0;
    for (const Reading& r : readings(housing, fromMs, toMs)) {
        const std::int64_t start = fromMs + (r.arrivalMs - fromMs) / bucketMs * bucketMs;
        if (out.empty() || out.back().minuteMs != start) {
            if (!out.empty()) {
                out.back().meanTemperature = nt ? st / nt : noData;
                out.back().meanHumidity = nh ? sh / nh : noData;
            }
            MinuteRollup b;
            b.housing = housing;
            b.minuteMs = start;
            out.push_back(b);
            nt = nh = 0;
            st = sh = 0;
        }
        MinuteRollup& b = out.back();
        extreme(b.minTemperature, b.maxTemperature, st, nt, r.temperature);
        extreme(b.minHumidity, b.maxHumidity, sh, nh, r.humidity);
        b.water = b.water || r.water;
        ++b.count;
    }
    if (!out.empty()) {
        out.back().meanTemperature = nt ? st / nt : noData;
        out.back().meanHumidity = nh ? sh / nh : noData;
    }
    return out;
}

std::vector<LinkOutage> FakeHistorySource::linkOutages(std::int64_t fromMs, std::int64_t toMs)
{
    std::vector<LinkOutage> out;
    bool down = false;
    for (const LinkChange& c : linkList) {
        if (c.timeMs >= toMs)
            break;
        if (c.kind == LinkEvent::Lost && !down) {
            down = true;
            out.push_back({c.timeMs, 0, c.reason});
        } else if (c.kind != LinkEvent::Lost && down) {
            down = false;
            out.back().backMs = c.timeMs;
        }
    }
    out.erase(std::remove_if(out.begin(), out.end(),
                  [fromMs](const LinkOutage& o) { return o.backMs != 0 && o.backMs <= fromMs; }),
        out.end());
    return out;
}

AlarmLoad FakeHistorySource::alarmLoad(
    std::int64_t fromMs, std::int64_t toMs, std::int64_t windowMs, int floodAbove, int busyHourAbove)
{
    AlarmLoad load;
    const std::int64_t hour = 3'600'000;
    load.windows = static_cast<int>((toMs - fromMs + windowMs - 1) / windowMs);
    load.hours = static_cast<int>((toMs - fromMs + hour - 1) / hour);
    std::vector<std::int64_t> raises;
    std::map<std::int64_t, int> windows, hours;
    for (const auto& [name, list] : byPoint(alarmList, toMs)) {
        PointRaises point{name, 0, 0};
        std::vector<std::int64_t> times;
        for (const AlarmRecord& r : list) {
            if (r.action != AlarmAction::Raised || r.timeMs < fromMs)
                continue;
            times.push_back(r.timeMs);
            const auto inMinute = std::count_if(
                times.begin(), times.end(), [&](std::int64_t t) { return r.timeMs - t <= 60000; });
            point.mostInAMinute = std::max(point.mostInAMinute, static_cast<int>(inMinute));
            raises.push_back(r.timeMs);
            ++windows[(r.timeMs - fromMs) / windowMs];
            ++hours[(r.timeMs - fromMs) / hour];
        }
        point.raised = static_cast<long long>(times.size());
        if (point.raised > 0)
            load.points.push_back(point);
    }
    std::stable_sort(load.points.begin(), load.points.end(),
        [](const PointRaises& a, const PointRaises& b) { return a.raised > b.raised; });
    std::sort(raises.begin(), raises.end());
    for (std::int64_t t : raises) {
        const int n = static_cast<int>(std::count_if(
            raises.begin(), raises.end(), [&](std::int64_t u) { return u >= t && u < t + windowMs; }));
        if (n > load.busiestCount) {
            load.busiestCount = n;
            load.busiestFromMs = t;
        }
    }
    for (const auto& [w, n] : windows)
        load.floodWindows += n > floodAbove ? 1 : 0;
    for (const auto& [h, n] : hours)
        load.busyHours += n > busyHourAbove ? 1 : 0;
    return load;
}

AlarmHandling FakeHistorySource::alarmHandling(
    std::int64_t fromMs, std::int64_t toMs, std::int64_t longestShelfMs)
{
    AlarmHandling handling;
    struct Kind {
        AlarmSpan::Kind kind;
        AlarmAction start;
        std::initializer_list<AlarmAction> ends;
    };
    const Kind kinds[] = {{AlarmSpan::Kind::Active, AlarmAction::Raised, {AlarmAction::Cleared}},
        {AlarmSpan::Kind::Unacknowledged, AlarmAction::Raised, {AlarmAction::Acknowledged}},
        {AlarmSpan::Kind::Shelved, AlarmAction::Shelved,
            {AlarmAction::Unshelved, AlarmAction::ShelfExpired}}};
    const auto points = byPoint(alarmList, toMs);
    for (const auto& [name, list] : points) {
        for (const AlarmRecord& r : list) {
            if (r.action != AlarmAction::Raised || r.timeMs < fromMs)
                continue;
            for (const AlarmRecord& later : list)
                if (later.timeMs > r.timeMs && later.action == AlarmAction::Acknowledged) {
                    handling.acknowledgeMs.push_back(later.timeMs - r.timeMs);
                    break;
                }
        }
        for (const Kind& k : kinds) {
            bool open = false;
            for (const AlarmRecord& r : list) {
                if (k.kind == AlarmSpan::Kind::Shelved && r.timeMs < fromMs - longestShelfMs)
                    continue;
                if (r.action == k.start && !open) {
                    handling.spans.push_back({k.kind, name, r.timeMs, 0});
                    open = true;
                } else if (isOneOf(r.action, k.ends) && open) {
                    handling.spans.back().endMs = r.timeMs;
                    open = false;
                }
            }
        }
    }
    std::sort(handling.acknowledgeMs.begin(), handling.acknowledgeMs.end());
    for (AlarmSpan& span : handling.spans)
        if (span.kind == AlarmSpan::Kind::Shelved && span.endMs == 0 && span.startMs + longestShelfMs < toMs)
            span.endMs = span.startMs + longestShelfMs;
    handling.spans.erase(std::remove_if(handling.spans.begin(), handling.spans.end(),
                             [fromMs](const AlarmSpan& s) { return s.endMs != 0 && s.endMs <= fromMs; }),
        handling.spans.end());
    return handling;
}

std::vector<MessageRecord> FakeHistorySource::messagesAtLeast(
    int priority, std::int64_t fromMs, std::int64_t toMs, int limit)
{
    std::vector<MessageRecord> out;
    for (const MessageRecord& m : messages(fromMs, toMs))
        if (m.priority >= priority && static_cast<int>(out.size()) < limit)
            out.push_back(m);
    return out;
}
