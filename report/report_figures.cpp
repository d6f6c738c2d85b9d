#include "report_figures.h"

#include "alarm_point.h"
#include "alarm_setpoints.h"
#include "utc_time.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

namespace Report {

namespace {

using namespace History;

constexpr std::int64_t hourMs = 3'600'000;

// The client journals its own end as a loss of the link: the time until it
// runs again is missing data, not an outage of the link.
const char* const clientEnded = "the operator ended the client";

std::string number(double value, const char* format = "%.2f")
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

double least(double a, double b)
{
    return std::isnan(a) ? b : std::isnan(b) ? a : std::min(a, b);
}

double greatest(double a, double b)
{
    return std::isnan(a) ? b : std::isnan(b) ? a : std::max(a, b);
}

// The stretches of the range, each with the setpoints in force in it. What
// came before the first known set is judged by that set; with none known,
// by the defaults the client starts with.
std::vector<std::pair<SetpointsInForce, std::int64_t>> stretches(
    const std::vector<SetpointsInForce>& sets, std::int64_t fromMs, std::int64_t toMs)
{
    std::vector<std::pair<SetpointsInForce, std::int64_t>> out; // set (sinceMs = start), end
    if (sets.empty()) {
        const AlarmSetpoints d;
        out.push_back({SetpointsInForce{fromMs, d.tempWarning, d.overTemp, d.rhWarning, d.overRh}, toMs});
        return out;
    }
    for (std::size_t i = 0; i < sets.size(); ++i) {
        SetpointsInForce set = sets[i];
        set.sinceMs = i == 0 ? fromMs : std::max(fromMs, set.sinceMs);
        const std::int64_t end = i + 1 < sets.size() ? std::min(toMs, sets[i + 1].sinceMs) : toMs;
        if (end > set.sinceMs)
            out.push_back({set, end});
    }
    return out;
}

void add(QuantityFigures& into, const LevelCounts& c, double& sum, std::int64_t intervalMs)
{
    into.count += c.count;
    into.least = least(into.least, c.least);
    into.greatest = greatest(into.greatest, c.greatest);
    sum += c.sum;
    into.warningMs += c.inWarning * intervalMs;
    into.overMs += c.overLimit * intervalMs;
}

class Builder {
public:
    Builder(HistorySource& source, const Request& request, const Progress& progress, Figures& figures)
        : source_(source), request_(request), progress_(progress), f_(figures)
    {}

    bool run(std::string& error)
    {
        f_ = Figures{};
        f_.request = request_;
        f_.source = source_.description();
        const bool done = step(2, "readings") && housings() && step(60, "link") && link() &&
            step(65, "alarms") && alarms() && step(80, "journal") && events();
        if (!done)
            error = failed_;
        return done;
    }

private:
    bool step(int percent, const std::string& what)
    {
        if (progress_ && !progress_(percent, what)) {
            failed_.clear();
            return false;
        }
        return true;
    }

    // The source's last word, after each read.
    bool ok()
    {
        failed_ = source_.lastError();
        return failed_.empty();
    }

    std::int64_t coveredEnd() const { return f_.request.fromMs + f_.coveredMs(); }

    bool housings()
    {
        const std::int64_t from = request_.fromMs, to = request_.toMs;
        const bool perMinute = to - from > request_.rawRangeMs;
        for (int housing = 0; housing < Housing::count; ++housing) {
            HousingFigures& h = f_.housings[housing];
            if (!step(5 + housing * 27, Housing::names[housing]))
                return false;
            h.setpoints = source_.setpoints(housing, from, to);
            if (!ok())
                return false;
            h.usualIntervalMs = source_.usualIntervalMs(housing, from, to, perMinute);
            if (!ok())
                return false;
            double sumT = 0, sumRh = 0;
            bool any = false;
            for (const auto& [set, end] : stretches(h.setpoints, from, to)) {
                const ReadingSummary s = source_.readingSummary(housing, set.sinceMs, end, set, perMinute);
                if (!ok())
                    return false;
                h.readings += s.readings;
                add(h.temperature, s.temperature, sumT, h.usualIntervalMs);
                add(h.humidity, s.humidity, sumRh, h.usualIntervalMs);
                h.waterMs += s.waterAlarm * h.usualIntervalMs;
                if (s.readings > 0) {
                    firstMs_ = any ? std::min(firstMs_, s.firstMs) : s.firstMs;
                    lastMs_ = any ? std::max(lastMs_, s.lastMs) : s.lastMs;
                    any = true;
                }
            }
            if (h.temperature.count > 0)
                h.temperature.mean = sumT / h.temperature.count;
            if (h.humidity.count > 0)
                h.humidity.mean = sumRh / h.humidity.count;
            if (!step(15 + housing * 27, Housing::names[housing]) || !gaps(housing, h, any, perMinute))
                return false;
            if (h.usualIntervalMs > 0)
                h.expected = f_.coveredMs() / h.usualIntervalMs;
            if (!step(25 + housing * 27, Housing::names[housing]))
                return false;
            h.trend = source_.readingBuckets(housing, from, to, trendBucketMs(request_));
            if (!ok())
                return false;
        }
        return true;
    }

    bool gaps(int housing, HousingFigures& h, bool any, bool perMinute)
    {
        const std::int64_t from = request_.fromMs, end = coveredEnd();
        const std::int64_t limit = request_.staleMs;
        std::vector<ReadingGap> inside = source_.readingGaps(housing, from, request_.toMs, limit, perMinute);
        if (!ok())
            return false;
        if (!any) {
            if (end > from)
                h.gaps.push_back({from, end});
        } else {
            if (firstMs_ - from > limit)
                h.gaps.push_back({from, firstMs_});
            h.gaps.insert(h.gaps.end(), inside.begin(), inside.end());
            if (end - lastMs_ > limit)
                h.gaps.push_back({lastMs_, end});
        }
        for (const ReadingGap& g : h.gaps) {
            h.gapMs += g.toMs - g.fromMs;
            h.longestGapMs = std::max(h.longestGapMs, g.toMs - g.fromMs);
        }
        return true;
    }

    bool link()
    {
        const std::vector<LinkOutage> all = source_.linkOutages(request_.fromMs, request_.toMs);
        if (!ok())
            return false;
        const std::int64_t end = coveredEnd();
        for (LinkOutage o : all) {
            if (o.reason == clientEnded)
                continue;
            o.lostMs = std::max(o.lostMs, request_.fromMs);
            const std::int64_t back = o.backMs == 0 ? end : std::min(o.backMs, end);
            if (back <= o.lostMs)
                continue;
            f_.outageMs += back - o.lostMs;
            f_.longestOutageMs = std::max(f_.longestOutageMs, back - o.lostMs);
            f_.outages.push_back(o);
        }
        return true;
    }

    PointFigures& point(const std::string& name)
    {
        for (PointFigures& p : f_.points)
            if (p.name == name)
                return p;
        PointFigures p;
        p.key = pointKey(name);
        p.name = name;
        f_.points.push_back(p);
        return f_.points.back();
    }

    bool alarms()
    {
        const std::int64_t from = request_.fromMs, to = request_.toMs;
        const AlarmLoad load = source_.alarmLoad(from, to, floodWindowMs, floodAbove, busyHourAbove);
        if (!ok())
            return false;
        for (const PointRaises& p : load.points) {
            PointFigures& figures = point(p.point);
            figures.raised = p.raised;
            figures.mostInAMinute = p.mostInAMinute;
            f_.raised += p.raised;
        }
        const double covered = static_cast<double>(std::max<std::int64_t>(1, f_.coveredMs()));
        f_.perHour = f_.raised * hourMs / covered;
        f_.perDay = f_.perHour * 24;
        f_.busiestCount = load.busiestCount;
        f_.busiestFromMs = load.busiestFromMs;
        f_.windows = load.windows;
        f_.floodWindows = load.floodWindows;
        f_.hours = load.hours;
        f_.busyHours = load.busyHours;
        long long topTen = 0;
        for (std::size_t i = 0; i < f_.points.size(); ++i) {
            PointFigures& p = f_.points[i];
            p.share = f_.raised > 0 ? static_cast<double>(p.raised) / f_.raised : 0.0;
            if (i < 10)
                topTen += p.raised;
        }
        f_.topTenShare = f_.raised > 0 ? static_cast<double>(topTen) / f_.raised : 0.0;

        if (!step(72, "alarm handling"))
            return false;
        const AlarmHandling handling = source_.alarmHandling(from, to, longestShelfMs);
        if (!ok())
            return false;
        const std::vector<std::int64_t>& acks = handling.acknowledgeMs;
        f_.acknowledged = static_cast<long long>(acks.size());
        if (!acks.empty()) {
            // Nearest rank.
            auto rank = [&](double p) {
                const auto n = static_cast<std::size_t>(std::ceil(p * acks.size()));
                return acks[std::max<std::size_t>(1, n) - 1];
            };
            f_.acknowledgeP50Ms = rank(0.50);
            f_.acknowledgeP95Ms = rank(0.95);
        }
        const std::int64_t end = coveredEnd();
        for (AlarmSpan span : handling.spans) {
            PointFigures& p = point(span.point);
            const std::int64_t stop = span.endMs == 0 ? end : std::min(span.endMs, end);
            switch (span.kind) {
            case AlarmSpan::Kind::Active:
                p.longestActiveMs = std::max(p.longestActiveMs, stop - span.startMs);
                break;
            case AlarmSpan::Kind::Unacknowledged:
                if (span.endMs == 0)
                    p.unacknowledgedSinceMs = span.startMs;
                break;
            case AlarmSpan::Kind::Shelved:
                p.shelvedMs += std::max<std::int64_t>(0, stop - std::max(span.startMs, from));
                break;
            }
            span.startMs = std::max(span.startMs, from);
            span.endMs = stop;
            if (span.endMs > span.startMs)
                f_.spans.push_back(span);
        }
        return true;
    }

    bool events()
    {
        const std::int64_t from = request_.fromMs, to = request_.toMs;
        const auto limit = static_cast<std::size_t>(std::max(0, request_.eventRows));
        std::vector<EventRow> rows;
        static const char* const actions[] = {
            "alarm raised", "cleared", "acknowledged", "shelved", "unshelved", "back from shelf"};
        for (const AlarmRecord& r : source_.alarmRecords(from, to)) {
            EventRow row{
                r.timeMs, actions[std::clamp(static_cast<int>(r.action), 0, 5)], r.point, r.user, r.comment};
            if (r.action == AlarmAction::Shelved && r.untilMs > 0)
                row.detail =
                    "until " + UtcTime::minute(r.untilMs) + (r.comment.empty() ? "" : "; " + r.comment);
            if (std::isfinite(r.value))
                row.detail = number(r.value) +
                    (std::isfinite(r.setpoint) ? " (setpoint " + number(r.setpoint) + ")" : "");
            rows.push_back(row);
        }
        if (!ok())
            return false;
        static const char* const priorities[] = {"message", "warning", "alarm message"};
        for (const MessageRecord& m : source_.messagesAtLeast(1, from, to, int(limit) + 1))
            rows.push_back({m.arrivalMs, priorities[std::clamp(m.priority, 0, 2)], m.text, "", ""});
        if (!ok())
            return false;
        static const char* const setpoints[] = {
            "temperature warning", "temperature over limit", "humidity warning", "humidity over limit"};
        for (const SetpointChange& c : source_.setpointChanges(from, to))
            rows.push_back({c.timeMs, "setpoint",
                std::string(Housing::names[Housing::valid(c.housing) ? c.housing : 0]) + " " +
                    setpoints[std::clamp(static_cast<int>(c.which), 0, 3)],
                "", number(c.oldValue) + " -> " + number(c.newValue)});
        if (!ok())
            return false;
        std::stable_sort(rows.begin(), rows.end(),
            [](const EventRow& a, const EventRow& b) { return a.timeMs < b.timeMs; });
        if (rows.size() > limit) {
            f_.eventsLeftOut = true;
            rows.resize(limit);
        }
        f_.events = std::move(rows);
        return step(85, "figures");
    }

    HistorySource& source_;
    const Request& request_;
    const Progress& progress_;
    Figures& f_;
    std::string failed_;
    std::int64_t firstMs_ = 0, lastMs_ = 0;
};

std::string count(long long n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

} // namespace

std::int64_t trendBucketMs(const Request& request)
{
    const std::int64_t columns = std::max(1, request.trendColumns);
    const std::int64_t ms = (request.toMs - request.fromMs + columns - 1) / columns;
    const std::int64_t unit = ms >= 60000 ? 60000 : 1000;
    return std::max(unit, (ms + unit - 1) / unit * unit);
}

std::optional<double> HousingFigures::completeness() const
{
    if (expected <= 0)
        return std::nullopt;
    return std::min(1.0, static_cast<double>(readings) / static_cast<double>(expected));
}

std::int64_t Figures::coveredMs() const
{
    const std::int64_t end =
        request.madeMs > request.fromMs ? std::min(request.toMs, request.madeMs) : request.toMs;
    return std::max<std::int64_t>(0, end - request.fromMs);
}

int Figures::chatteringPoints() const
{
    return static_cast<int>(
        std::count_if(points.begin(), points.end(), [](const auto& p) { return p.chattering(); }));
}

int Figures::standingPoints() const
{
    return static_cast<int>(
        std::count_if(points.begin(), points.end(), [](const auto& p) { return p.standing(); }));
}

int Figures::unacknowledgedPoints() const
{
    return static_cast<int>(std::count_if(
        points.begin(), points.end(), [](const auto& p) { return p.unacknowledgedSinceMs.has_value(); }));
}

std::int64_t Figures::shelvedMs() const
{
    std::int64_t ms = 0;
    for (const PointFigures& p : points)
        ms += p.shelvedMs;
    return ms;
}

std::string percent(double share)
{
    return number(share * 100.0, "%.1f") + " %";
}

std::vector<Target> targets(const Figures& f)
{
    std::vector<Target> rows;
    auto share = [](int part, int whole) { return whole > 0 ? static_cast<double>(part) / whole : 0.0; };
    auto seconds = [](std::int64_t ms) { return static_cast<double>(ms) / 1000.0; };
    auto row = [&](std::string figure, std::string measured, std::string target, bool met, double value,
                   std::string unit) {
        rows.push_back(
            {std::move(figure), std::move(measured), std::move(target), met, value, std::move(unit)});
    };
    row("Alarms raised", std::to_string(f.raised), "", true, double(f.raised), "alarms");
    row("Alarms per hour (mean)", number(f.perHour), "at most 6", f.perHour <= 6.0, f.perHour, "per hour");
    row("Alarms per day (mean)", number(f.perDay, "%.1f"), "about 1 for one instrument", f.perDay <= 1.0,
        f.perDay, "per day");
    row("Busiest 10 minutes",
        count(f.busiestCount, "alarm", "alarms") +
            (f.busiestCount > 0 ? " from " + UtcTime::minute(f.busiestFromMs) : std::string()),
        "at most 10", f.busiestCount <= floodAbove, f.busiestCount, "alarms");
    const double flood = share(f.floodWindows, f.windows);
    row("10-minute windows in flood (over 10 alarms)",
        std::to_string(f.floodWindows) + " of " + std::to_string(f.windows) + " (" + percent(flood) + ")",
        "under 1 % of the time", flood < 0.01, flood * 100, "%");
    const double busy = share(f.busyHours, f.hours);
    row("Hours with over 30 alarms",
        std::to_string(f.busyHours) + " of " + std::to_string(f.hours) + " (" + percent(busy) + ")",
        "under 1 % of hours", busy < 0.01, busy * 100, "%");
    row("Top ten points' share of all alarms", percent(f.topTenShare), "1 to 5 % at most",
        f.topTenShare <= 0.05, f.topTenShare * 100, "%");
    row("Chattering points (3 or more in 60 s)", std::to_string(f.chatteringPoints()), "none",
        f.chatteringPoints() == 0, f.chatteringPoints(), "points");
    row("Standing alarms (active over 24 h)", std::to_string(f.standingPoints()), "fewer than 5",
        f.standingPoints() < 5, f.standingPoints(), "points");
    row("Time to acknowledge, p50",
        f.acknowledgeP50Ms ? UtcTime::duration(*f.acknowledgeP50Ms) : std::string("none acknowledged"), "",
        true, f.acknowledgeP50Ms ? seconds(*f.acknowledgeP50Ms) : History::noData, "s");
    row("Time to acknowledge, p95",
        f.acknowledgeP95Ms ? UtcTime::duration(*f.acknowledgeP95Ms) + " (" +
                count(f.acknowledged, "alarm", "alarms") + " acknowledged)"
                           : std::string("none acknowledged"),
        "", true, f.acknowledgeP95Ms ? seconds(*f.acknowledgeP95Ms) : History::noData, "s");
    row("Unacknowledged at the end", std::to_string(f.unacknowledgedPoints()), "", true,
        f.unacknowledgedPoints(), "points");
    row("Shelved time", UtcTime::duration(f.shelvedMs()), "", true, seconds(f.shelvedMs()), "s");
    return rows;
}

bool compute(History::HistorySource& source, const Request& request, const Progress& progress,
    Figures& figures, std::string& error)
{
    return Builder(source, request, progress, figures).run(error);
}

std::string pointKey(const std::string& name)
{
    for (int i = 0; i < AlarmPoint::count; ++i)
        if (AlarmPoint::at(i).name() == name)
            return AlarmPoint::at(i).key();
    return name;
}

} // namespace Report
