#pragma once

#include "history_source.h"
#include "trend_envelope.h"

#include <cstdint>
#include <limits>
#include <vector>

// The setpoints of one housing as they were over time: a base set (in force
// since ever, as far as this client knows), the sets the history reports and
// the changes made while the window is open. Draws a setpoint as a line that
// steps exactly at the times it was changed.
class LimitSteps {
public:
    static constexpr std::int64_t sinceEver = std::numeric_limits<std::int64_t>::min();

    // The set known when nothing earlier is: taken from the live setpoints.
    void setBase(const History::SetpointsInForce& base);
    // The history's answer for a range: replaces what an earlier answer said.
    void setHistory(std::vector<History::SetpointsInForce> steps);
    // One setpoint changed now: the other three stay as they were.
    void change(const History::SetpointChange& change);

    // The set in force at `timeMs`.
    History::SetpointsInForce at(std::int64_t timeMs) const;

    // A step line (each point holds until the next) of one setpoint over
    // [fromMs, toMs]: its value at fromMs, one point per change inside, and
    // the value at toMs, so that the line spans the whole range.
    std::vector<TrendPoint> line(History::Setpoint which, std::int64_t fromMs, std::int64_t toMs) const;

    static double value(const History::SetpointsInForce& set, History::Setpoint which);

    // Every set in time order, the base first.
    std::vector<History::SetpointsInForce> sets() const;

private:
    History::SetpointsInForce base_{sinceEver, 0.0, 0.0, 0.0, 0.0};
    std::vector<History::SetpointsInForce> history_;
    std::vector<History::SetpointChange> live_;
};
