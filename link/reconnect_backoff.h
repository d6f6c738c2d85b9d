#pragma once

#include <cstdint>
#include <functional>

// When to try the link again after it was lost: first after `first`
// seconds, then each wait twice the one before, up to `longest`; every wait
// varied at random by up to 20 % either way, so that many clients that lost
// the instrument together do not all come back in the same second.
class ReconnectBackoff {
public:
    using Clock = std::function<std::int64_t()>; // milliseconds, monotonic
    using Random = std::function<double()>;      // uniform in [0, 1)

    // first == 0: no automatic tries at all.
    ReconnectBackoff(int firstSeconds, int longestSeconds, Clock clock, Random random);

    bool enabled() const { return firstMs_ > 0; }

    // Plans the next try after the current wait; the wait after it doubles.
    void schedule();
    // Nothing planned; the waits start from the first again.
    void reset();

    bool scheduled() const { return scheduled_; }
    // Milliseconds until the planned try (0 when due or none planned).
    std::int64_t msUntilTry() const;
    // The same in whole seconds, rounded up, for the operator.
    int secondsUntilTry() const;

private:
    std::int64_t firstMs_;
    std::int64_t longestMs_;
    Clock clock_;
    Random random_;
    std::int64_t waitMs_;
    std::int64_t dueMs_ = 0;
    bool scheduled_ = false;
};
