#pragma once

#include "trend_envelope.h"

#include <cstdint>
#include <vector>

// The pixel column of the newest value a plot draws: its time span and the
// least and greatest value drawn in it. A newer value inside both changes
// nothing on the screen, so a flood of readings need not be drawn one by one.
class TrendTail {
public:
    TrendTail() = default;
    // From the points an envelope gave for [fromMs, toMs) on `columns`
    // columns, and its summary. Not valid when the newest value is outside
    // the range or a gap lies in its column.
    TrendTail(const std::vector<TrendPoint>& points, const TrendEnvelope::Summary& summary,
        std::int64_t fromMs, std::int64_t toMs, int columns);

    // Whether a value at `timeMs` would leave the drawing as it is.
    bool holds(std::int64_t timeMs, double value) const;

private:
    bool valid_ = false;
    std::int64_t fromMs_ = 0, toMs_ = 0;
    double low_ = 0.0, high_ = 0.0;
};
