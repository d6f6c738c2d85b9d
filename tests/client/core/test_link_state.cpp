#include "link_state.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// A LinkState on a clock the test moves by hand.
struct ManualClock {
    std::int64_t ms = 5000;
    LinkState state{[this] { return ms; }};
    CKovClientApp* app = reinterpret_cast<CKovClientApp*>(&ms);
};

TEST(LinkState, NothingWithoutApplicationOrLink)
{
    ManualClock clock;
    clock.state.SetConnected(1);
    clock.state.SetTargetOnSeconds(77, clock.state.connection());
    EXPECT_EQ(clock.state.ConnectionSeconds(), 0); // no application
    EXPECT_EQ(clock.state.TargetOnSeconds(), 0u);

    clock.state.Attach(clock.app);
    clock.state.SetConnected(0);
    EXPECT_EQ(clock.state.ConnectionSeconds(), 0);
    EXPECT_EQ(clock.state.TargetOnSeconds(), 0u);
}

TEST(LinkState, ConnectionSecondsTruncate)
{
    ManualClock clock;
    clock.state.Attach(clock.app);
    clock.state.SetConnected(1);
    EXPECT_EQ(clock.state.ConnectionSeconds(), 0);
    clock.ms += 1999;
    EXPECT_EQ(clock.state.ConnectionSeconds(), 1);
    clock.ms += 1;
    EXPECT_EQ(clock.state.ConnectionSeconds(), 2);
}

TEST(LinkState, ClockGoesOnPastThirtyTwoBits)
{
    ManualClock clock;
    clock.state.Attach(clock.app);
    clock.state.SetConnected(1);
    // 60 days: a 32-bit millisecond count wraps after 49.7, a signed second
    // count in milliseconds turns negative after 24.8.
    const std::int64_t sixtyDays = 60LL * 24 * 3600;
    clock.ms += sixtyDays * 1000;
    EXPECT_EQ(clock.state.ConnectionSeconds(), sixtyDays);
}

TEST(LinkState, ReconnectRestartsTheClockAndForgetsOldAnswers)
{
    ManualClock clock;
    clock.state.Attach(clock.app);
    clock.state.SetConnected(1);
    const std::uint64_t first = clock.state.connection();
    clock.state.SetTargetOnSeconds((std::uint64_t{1} << 32) + 90061, first);
    EXPECT_EQ(clock.state.TargetOnSeconds(), 90061u); // the low 32 bits
    clock.ms += 10000;

    clock.state.SetConnected(0);
    clock.state.SetConnected(1);
    EXPECT_EQ(clock.state.ConnectionSeconds(), 0);
    EXPECT_EQ(clock.state.TargetOnSeconds(), 0u);
    // A late answer of the earlier connection is not shown.
    clock.state.SetTargetOnSeconds(5, first);
    EXPECT_EQ(clock.state.TargetOnSeconds(), 0u);
    clock.state.SetTargetOnSeconds(6, clock.state.connection());
    EXPECT_EQ(clock.state.TargetOnSeconds(), 6u);
}

TEST(LinkState, AttachWhileConnectedRestartsTheClock)
{
    ManualClock clock;
    clock.state.SetConnected(1);
    clock.ms += 7000;
    clock.state.Attach(clock.app);
    clock.ms += 1000;
    EXPECT_EQ(clock.state.ConnectionSeconds(), 1);
}

TEST(LinkState, OneProcessWideInstance)
{
    EXPECT_EQ(&LinkState::Instance(), &LinkState::Instance());
}

} // namespace
