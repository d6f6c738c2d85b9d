#pragma once

#include <chrono>
#include <optional>

// What a screen reader is told about one control, paced to a listener
// rather than to the instrument. The first change after a quiet interval is
// told at once; later changes within the interval are held and told
// together when it is over, so a flood gives one notification an interval,
// and since the listener then reads the control's current value it always
// hears the latest one. A change of alarm state is told at once, always.
class AccessiblePacer {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds interval{1000};

    // `changes` more changes at `now`: answers how many to tell now (held
    // ones included), 0 when they are held until due().
    int change(Clock::time_point now, int changes = 1);
    // A change of state at `now`, told now: answers the held changes it
    // tells with it. The next value change waits a full interval.
    int stateChange(Clock::time_point now);
    // When the held changes are to be told; nothing when none is held.
    std::optional<Clock::time_point> due() const;
    // Answers the held changes to tell at `now`: all of them once due(),
    // else 0.
    int release(Clock::time_point now);
    int held() const { return held_; }

private:
    int tell(Clock::time_point now);

    std::optional<Clock::time_point> lastTold_;
    int held_ = 0;
};
