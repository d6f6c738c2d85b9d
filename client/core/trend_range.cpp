#include "trend_range.h"

#include <algorithm>

void TrendRange::showLast(std::int64_t spanMs, std::int64_t nowMs, int columns)
{
    spanMs_ = spanMs;
    following_ = true;
    follow(nowMs, columns);
}

bool TrendRange::showRange(std::int64_t fromMs, std::int64_t toMs)
{
    if (toMs <= fromMs)
        return false;
    following_ = false;
    fromMs_ = fromMs;
    toMs_ = toMs;
    spanMs_ = toMs - fromMs;
    return true;
}

bool TrendRange::follow(std::int64_t nowMs, int columns)
{
    if (!following_)
        return false;
    const std::int64_t column = std::max<std::int64_t>(1, spanMs_ / std::max(1, columns));
    const std::int64_t end = nowMs + std::clamp<std::int64_t>(spanMs_ / 200, 1000, minuteMs);
    const std::int64_t to = (end / column + 1) * column;
    if (to == toMs_ && toMs_ - fromMs_ == spanMs_)
        return false;
    toMs_ = to;
    fromMs_ = to - spanMs_;
    return true;
}
