#include "link_state.h"

#include <chrono>

LinkState& LinkState::Instance()
{
    // Never destroyed: threads may still read it during static destruction.
    static LinkState* const instance = new LinkState();
    return *instance;
}

LinkState::LinkState(Clock clock) : clock_(std::move(clock)) {}

std::int64_t LinkState::steadyMilliseconds()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::int64_t LinkState::now() const
{
    // 0 marks "not stamped yet", so a clock that reads 0 counts as 1 ms.
    const std::int64_t ms = clock_();
    return ms == 0 ? 1 : ms;
}

void LinkState::Attach(CKovClientApp* app)
{
    app_.store(app);
    if (connected_.load())
        start_.store(now());
}

void LinkState::SetConnected(int flag)
{
    if (flag) {
        targetOn_.store(0);
        connection_.fetch_add(1);
        start_.store(now());
        connected_.store(1);
    } else {
        connected_.store(0);
        start_.store(0);
        targetOn_.store(0);
    }
}

std::int64_t LinkState::ConnectionSeconds()
{
    if (!app_.load() || !connected_.load())
        return 0;
    std::int64_t start = start_.load();
    if (start == 0) {
        start_.compare_exchange_strong(start, now());
        return 0;
    }
    const std::int64_t elapsed = now() - start;
    return elapsed > 0 ? elapsed / 1000 : 0;
}

std::uint32_t LinkState::TargetOnSeconds() const
{
    if (!app_.load() || !connected_.load())
        return 0;
    return targetOn_.load();
}

void LinkState::SetTargetOnSeconds(std::uint64_t seconds, std::uint64_t connection)
{
    if (connection != connection_.load() || !connected_.load())
        return;
    targetOn_.store(static_cast<std::uint32_t>(seconds));
}
