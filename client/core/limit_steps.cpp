#include "limit_steps.h"

#include <algorithm>
#include <utility>

using History::Setpoint;
using History::SetpointsInForce;

double LimitSteps::value(const SetpointsInForce& set, Setpoint which)
{
    switch (which) {
    case Setpoint::TempWarning:
        return set.tempWarning;
    case Setpoint::OverTemp:
        return set.overTemp;
    case Setpoint::RhWarning:
        return set.rhWarning;
    case Setpoint::OverRh:
        return set.overRh;
    }
    return History::noData;
}

namespace {

void assign(SetpointsInForce& set, Setpoint which, double value)
{
    switch (which) {
    case Setpoint::TempWarning:
        set.tempWarning = value;
        break;
    case Setpoint::OverTemp:
        set.overTemp = value;
        break;
    case Setpoint::RhWarning:
        set.rhWarning = value;
        break;
    case Setpoint::OverRh:
        set.overRh = value;
        break;
    }
}

} // namespace

void LimitSteps::setBase(const SetpointsInForce& base)
{
    base_ = base;
    base_.sinceMs = sinceEver;
}

void LimitSteps::setHistory(std::vector<SetpointsInForce> steps)
{
    std::stable_sort(steps.begin(), steps.end(),
        [](const SetpointsInForce& a, const SetpointsInForce& b) { return a.sinceMs < b.sinceMs; });
    history_ = std::move(steps);
}

void LimitSteps::change(const History::SetpointChange& change)
{
    live_.push_back(change);
}

// The sets in time order: the base, then the history's sets, then each live
// change applied to the set in force at its time. A live change the history
// already holds (the store records it too) changes nothing.
std::vector<SetpointsInForce> LimitSteps::sets() const
{
    std::vector<SetpointsInForce> sets{base_};
    sets.insert(sets.end(), history_.begin(), history_.end());
    for (const History::SetpointChange& c : live_) {
        auto at = std::upper_bound(sets.begin(), sets.end(), c.timeMs,
            [](std::int64_t t, const SetpointsInForce& s) { return t < s.sinceMs; });
        SetpointsInForce next = *(at - 1);
        if (value(next, c.which) == c.newValue)
            continue;
        next.sinceMs = c.timeMs;
        assign(next, c.which, c.newValue);
        // Later sets in the list were recorded before this change was known
        // here; the change holds on in them.
        for (auto later = at; later != sets.end(); ++later)
            assign(*later, c.which, c.newValue);
        sets.insert(at, next);
    }
    return sets;
}

SetpointsInForce LimitSteps::at(std::int64_t timeMs) const
{
    const std::vector<SetpointsInForce> all = sets();
    auto after = std::upper_bound(all.begin(), all.end(), timeMs,
        [](std::int64_t t, const SetpointsInForce& s) { return t < s.sinceMs; });
    return *(after - 1);
}

std::vector<TrendPoint> LimitSteps::line(Setpoint which, std::int64_t fromMs, std::int64_t toMs) const
{
    const std::vector<SetpointsInForce> all = sets();
    std::vector<TrendPoint> points;
    double current = value(all.front(), which);
    for (const SetpointsInForce& set : all) {
        if (set.sinceMs <= fromMs)
            current = value(set, which);
    }
    points.push_back({fromMs, current});
    for (const SetpointsInForce& set : all) {
        if (set.sinceMs <= fromMs || set.sinceMs >= toMs)
            continue;
        const double v = value(set, which);
        if (v != points.back().value)
            points.push_back({set.sinceMs, v});
    }
    points.push_back({toMs, points.back().value});
    return points;
}
