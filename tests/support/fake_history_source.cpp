#include "fake_history_source.h"

#include <algorithm>
#include <cmath>

namespace {

const double pi = 3.14159265358979;

template<typename T, typename Time>
std::vector<T> within(const std::vector<T>& all, std::int64_t fromMs, std::int64_t toMs, Time time)
{
    std::vector<T> out;
    for (const T& item : all)
        if (time(item) >= fromMs && time(item) < toMs)
            out.push_back(item);
    return out;
}

} // namespace

double FakeHistorySource::temperatureAt(int housing, std::int64_t timeMs)
{
    return 22.0 + housing + 3.0 * std::sin(2 * pi * (timeMs % 86400000) / 86400000.0) +
        (timeMs / 1000 % 7) * 0.05;
}

double FakeHistorySource::humidityAt(int housing, std::int64_t timeMs)
{
    return 40.0 + 5.0 * housing + 10.0 * std::cos(2 * pi * (timeMs % 86400000) / 86400000.0);
}

std::vector<History::Reading> FakeHistorySource::readings(int housing, std::int64_t fromMs, std::int64_t toMs)
{
    std::vector<History::Reading> out;
    if (!readingList.empty()) {
        for (const History::Reading& r : readingList)
            if (r.housing == housing && r.arrivalMs >= fromMs && r.arrivalMs < toMs)
                out.push_back(r);
        return out;
    }
    const std::int64_t first = std::max({firstMs_, rawFirstMs, (fromMs + 999) / 1000 * 1000});
    const std::int64_t end = std::min(endMs_, toMs);
    if (end > first)
        out.reserve(static_cast<std::size_t>((end - first) / 1000 + 1));
    for (std::int64_t t = first; t < end; t += 1000)
        out.push_back({housing, t / 1000, t, temperatureAt(housing, t), humidityAt(housing, t), false});
    return out;
}

std::vector<History::MinuteRollup> FakeHistorySource::rollups(
    int housing, std::int64_t fromMs, std::int64_t toMs)
{
    std::vector<History::MinuteRollup> out;
    const std::int64_t minute = 60000;
    for (std::int64_t m = std::max(firstMs_, fromMs) / minute * minute; m < std::min(endMs_, toMs);
         m += minute) {
        History::MinuteRollup r;
        r.housing = housing;
        r.minuteMs = m;
        r.count = 60;
        r.minTemperature = r.maxTemperature = temperatureAt(housing, m);
        r.minHumidity = r.maxHumidity = humidityAt(housing, m);
        for (std::int64_t t = m; t < m + minute; t += 10000) {
            r.minTemperature = std::min(r.minTemperature, temperatureAt(housing, t));
            r.maxTemperature = std::max(r.maxTemperature, temperatureAt(housing, t));
        }
        r.meanTemperature = (r.minTemperature + r.maxTemperature) / 2;
        r.meanHumidity = r.minHumidity;
        out.push_back(r);
    }
    return out;
}

std::vector<History::RollupBucket> FakeHistorySource::buckets(
    int housing, std::int64_t fromMs, std::int64_t toMs, std::int64_t bucketMs)
{
    const std::int64_t width = History::bucketWidth(bucketMs);
    std::vector<History::RollupBucket> out;
    std::vector<double> weighted; // per bucket: temperature and humidity sums of mean times count
    for (const History::MinuteRollup& r : rollups(housing, fromMs, toMs)) {
        if (r.minuteMs < fromMs)
            continue;
        const std::int64_t start = r.minuteMs / width * width;
        if (out.empty() || out.back().startMs != start) {
            History::RollupBucket b;
            b.housing = housing;
            b.startMs = start;
            b.firstMinuteMs = r.minuteMs;
            out.push_back(b);
            weighted.insert(weighted.end(), {0.0, 0.0});
        }
        History::RollupBucket& b = out.back();
        b.lastMinuteMs = r.minuteMs;
        b.minTemperature = std::fmin(b.minTemperature, r.minTemperature);
        b.maxTemperature = std::fmax(b.maxTemperature, r.maxTemperature);
        b.minHumidity = std::fmin(b.minHumidity, r.minHumidity);
        b.maxHumidity = std::fmax(b.maxHumidity, r.maxHumidity);
        b.water = b.water || r.water;
        b.count += r.count;
        ++b.minutes;
        weighted[weighted.size() - 2] += r.meanTemperature * r.count;
        weighted[weighted.size() - 1] += r.meanHumidity * r.count;
        b.meanTemperature = weighted[weighted.size() - 2] / static_cast<double>(b.count);
        b.meanHumidity = weighted[weighted.size() - 1] / static_cast<double>(b.count);
    }
    return out;
}

std::vector<History::SetpointsInForce> FakeHistorySource::setpoints(
    int housing, std::int64_t fromMs, std::int64_t toMs)
{
    std::vector<History::SetpointsInForce> out;
    for (const History::SetpointsInForce& s : sets[housing == 1 ? 1 : 0]) {
        if (s.sinceMs >= toMs)
            break;
        if (s.sinceMs <= fromMs && !out.empty())
            out.clear();
        out.push_back(s);
    }
    return out;
}

std::vector<History::MessageRecord> FakeHistorySource::messages(std::int64_t fromMs, std::int64_t toMs)
{
    return within(messageList, fromMs, toMs, [](const auto& m) { return m.arrivalMs; });
}

std::vector<History::SetpointChange> FakeHistorySource::setpointChanges(
    std::int64_t fromMs, std::int64_t toMs)
{
    return within(changeList, fromMs, toMs, [](const auto& c) { return c.timeMs; });
}

std::vector<History::LinkChange> FakeHistorySource::linkChanges(std::int64_t fromMs, std::int64_t toMs)
{
    return within(linkList, fromMs, toMs, [](const auto& c) { return c.timeMs; });
}

std::vector<History::AlarmRecord> FakeHistorySource::alarmRecords(std::int64_t fromMs, std::int64_t toMs)
{
    return within(alarmList, fromMs, toMs, [](const auto& a) { return a.timeMs; });
}
