#include "accessible_pacer.h"

int AccessiblePacer::change(Clock::time_point now, int changes)
{
    held_ += changes;
    if (held_ <= 0 || (lastTold_ && now - *lastTold_ < interval))
        return 0;
    return tell(now);
}

int AccessiblePacer::stateChange(Clock::time_point now)
{
    return tell(now);
}

std::optional<AccessiblePacer::Clock::time_point> AccessiblePacer::due() const
{
    if (held_ <= 0 || !lastTold_)
        return std::nullopt;
    return *lastTold_ + interval;
}

int AccessiblePacer::release(Clock::time_point now)
{
    const std::optional<Clock::time_point> when = due();
    if (!when || now < *when)
        return 0;
    return tell(now);
}

int AccessiblePacer::tell(Clock::time_point now)
{
    lastTold_ = now;
    const int told = held_;
    held_ = 0;
    return told;
}
