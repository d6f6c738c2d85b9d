#include "stale_tracker.h"

#include <algorithm>

StaleTracker::StaleTracker(int limitSeconds, std::int64_t startMs)
    : limitMs_(std::max(0, limitSeconds) * std::int64_t{1000}), startMs_(startMs)
{}

void StaleTracker::setLimit(int limitSeconds)
{
    limitMs_ = std::max(0, limitSeconds) * std::int64_t{1000};
}

void StaleTracker::reading(int housing, std::int64_t nowMs)
{
    if (valid(housing))
        last_[housing] = nowMs;
}

std::optional<std::int64_t> StaleTracker::ageSeconds(int housing, std::int64_t nowMs) const
{
    if (!valid(housing) || !last_[housing])
        return std::nullopt;
    return std::max<std::int64_t>(0, nowMs - *last_[housing]) / 1000;
}

bool StaleTracker::stale(int housing, std::int64_t nowMs) const
{
    if (!valid(housing) || limitMs_ == 0)
        return false;
    return nowMs - last_[housing].value_or(startMs_) >= limitMs_;
}
