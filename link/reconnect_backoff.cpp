#include "reconnect_backoff.h"

#include <algorithm>
#include <utility>

ReconnectBackoff::ReconnectBackoff(int firstSeconds, int longestSeconds, Clock clock, Random random)
    : firstMs_(std::max(0, firstSeconds) * std::int64_t{1000}),
      longestMs_(std::max(firstSeconds, longestSeconds) * std::int64_t{1000}),
      clock_(std::move(clock)),
      random_(std::move(random)),
      waitMs_(firstMs_)
{}

void ReconnectBackoff::schedule()
{
    if (!enabled())
        return;
    const double factor = 0.8 + 0.4 * std::clamp(random_(), 0.0, 1.0);
    dueMs_ = clock_() + static_cast<std::int64_t>(static_cast<double>(waitMs_) * factor);
    scheduled_ = true;
    waitMs_ = std::min(waitMs_ * 2, longestMs_);
}

void ReconnectBackoff::reset()
{
    scheduled_ = false;
    waitMs_ = firstMs_;
}

std::int64_t ReconnectBackoff::msUntilTry() const
{
    if (!scheduled_)
        return 0;
    return std::max<std::int64_t>(0, dueMs_ - clock_());
}

int ReconnectBackoff::secondsUntilTry() const
{
    return static_cast<int>((msUntilTry() + 999) / 1000);
}
