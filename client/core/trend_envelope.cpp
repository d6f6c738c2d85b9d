#include "trend_envelope.h"

#include <algorithm>
#include <cmath>

TrendEnvelope::TrendEnvelope(std::int64_t fromMs, std::int64_t toMs, int columns)
    : fromMs_(fromMs), toMs_(std::max(toMs, fromMs + 1)), columns_(std::max(1, columns))
{}

std::int64_t TrendEnvelope::columnOf(std::int64_t timeMs) const
{
    // Spans are at most years in milliseconds and columns a few thousand, so
    // the product stays far inside 64 bits.
    return (timeMs - fromMs_) * columns_ / (toMs_ - fromMs_);
}

void TrendEnvelope::add(const TrendPoint& point)
{
    if (past_)
        return;
    if (point.timeMs < fromMs_) {
        before_ = point;
        haveBefore_ = true;
        return;
    }
    if (haveBefore_) {
        out_.push_back(before_);
        haveBefore_ = false;
    }
    if (point.timeMs >= toMs_) {
        flushColumn();
        out_.push_back(point);
        past_ = true;
        return;
    }
    const std::int64_t index = columnOf(point.timeMs);
    if (index != column_.index) {
        flushColumn();
        column_.index = index;
    }
    note(point);
}

void TrendEnvelope::note(const TrendPoint& point)
{
    Column& c = column_;
    const bool first = !c.any;
    c.any = true;
    if (std::isnan(point.value)) {
        if (first)
            c.startsWithGap = true;
        if (first)
            c.gapStart = point;
        c.endsWithGap = true;
        c.gapEnd = point;
        return;
    }
    c.endsWithGap = false;
    if (!c.anyFinite || point.value < c.low.value)
        c.low = point;
    if (!c.anyFinite || point.value > c.high.value)
        c.high = point;
    c.anyFinite = true;

    summary_.latestMs = point.timeMs;
    summary_.latest = point.value;
    summary_.minimum = std::min(summary_.minimum, point.value);
    summary_.maximum = std::max(summary_.maximum, point.value);
    summary_.any = true;
}

void TrendEnvelope::flushColumn()
{
    const Column c = column_;
    column_ = Column{};
    if (!c.any)
        return;
    if (!c.anyFinite) {
        out_.push_back(c.gapStart);
        return;
    }
    if (c.startsWithGap)
        out_.push_back(c.gapStart);
    const bool lowFirst = c.low.timeMs <= c.high.timeMs;
    out_.push_back(lowFirst ? c.low : c.high);
    if (c.low.timeMs != c.high.timeMs || c.low.value != c.high.value)
        out_.push_back(lowFirst ? c.high : c.low);
    if (c.endsWithGap)
        out_.push_back(c.gapEnd);
}

std::vector<TrendPoint> TrendEnvelope::take()
{
    if (!past_)
        flushColumn();
    if (haveBefore_) {
        out_.insert(out_.begin(), before_);
        haveBefore_ = false;
    }
    return std::move(out_);
}
