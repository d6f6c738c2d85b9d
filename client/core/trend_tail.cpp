#include "trend_tail.h"

#include <algorithm>
#include <cmath>

TrendTail::TrendTail(const std::vector<TrendPoint>& points, const TrendEnvelope::Summary& summary,
    std::int64_t fromMs, std::int64_t toMs, int columns)
{
    columns = std::max(1, columns);
    if (!summary.any || summary.latestMs < fromMs || summary.latestMs >= toMs)
        return;
    const std::int64_t span = toMs - fromMs;
    const std::int64_t column = (summary.latestMs - fromMs) * columns / span;
    fromMs_ = fromMs + (column * span + columns - 1) / columns;
    toMs_ = fromMs + ((column + 1) * span + columns - 1) / columns;
    low_ = summary.latest;
    high_ = summary.latest;
    for (auto p = points.rbegin(); p != points.rend() && p->timeMs >= fromMs_; ++p) {
        if (p->timeMs >= toMs_)
            continue;
        if (!std::isfinite(p->value))
            return; // a gap inside: leave it to a full drawing
        low_ = std::min(low_, p->value);
        high_ = std::max(high_, p->value);
    }
    valid_ = true;
}

bool TrendTail::holds(std::int64_t timeMs, double value) const
{
    return valid_ && timeMs >= fromMs_ && timeMs < toMs_ && std::isfinite(value) && value >= low_ &&
        value <= high_;
}
