#include "accessible_pacer.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Clock = AccessiblePacer::Clock;
using std::chrono::milliseconds;

Clock::time_point at(int ms)
{
    return Clock::time_point(milliseconds(ms));
}

enum class Kind {
    Value,
    State,
    Tick
};

struct Step {
    int ms;
    Kind kind;
    int told; // changes told at this step
};

TEST(AccessiblePacer, TellsAtAListenersPace)
{
    const std::vector<std::vector<Step>> cases = {
        // The first value is told at once, the next within the second held.
        {{100, Kind::Value, 1}, {300, Kind::Value, 0}, {900, Kind::Tick, 0}, {1100, Kind::Tick, 1},
            {1200, Kind::Tick, 0}},
        // A state change is told at once with what is held, and restarts the second.
        {{0, Kind::Value, 1}, {10, Kind::Value, 0}, {20, Kind::Value, 0}, {30, Kind::State, 2},
            {1000, Kind::Tick, 0}, {1029, Kind::Value, 0}, {1030, Kind::Tick, 1}},
        // Two states in a row are both told; a value after a quiet second at once.
        {{0, Kind::State, 0}, {5, Kind::State, 0}, {2000, Kind::Value, 1}},
    };
    for (const auto& steps : cases) {
        AccessiblePacer pacer;
        for (const Step& step : steps) {
            int told = 0;
            if (step.kind == Kind::Value)
                told = pacer.change(at(step.ms));
            else if (step.kind == Kind::State)
                told = pacer.stateChange(at(step.ms));
            else
                told = pacer.release(at(step.ms));
            EXPECT_EQ(told, step.told) << "at " << step.ms << " ms";
        }
    }
}

// 400 readings a second for 3.5 s, the timer firing when due: one
// notification a second, each reading the value current then, the last
// reading told after the flood.
TEST(AccessiblePacer, AFloodGivesOneNotificationASecondWithTheLatestValue)
{
    AccessiblePacer pacer;
    int latest = 0;
    std::vector<std::pair<int, int>> heard; // (ms, value read)
    for (int ms = 0; ms <= 5000; ms += 1) {
        const bool reading = ms % 5 < 2 && ms < 3500; // 2 of every 5 ms
        if (reading)
            latest = ms;
        if (reading && pacer.change(at(ms)) > 0)
            heard.emplace_back(ms, latest);
        if (pacer.due() && *pacer.due() <= at(ms) && pacer.release(at(ms)) > 0)
            heard.emplace_back(ms, latest);
    }
    const std::vector<std::pair<int, int>> expected = {
        {0, 0}, {1000, 1000}, {2000, 2000}, {3000, 3000}, {4000, 3496}};
    EXPECT_EQ(heard, expected);
    EXPECT_EQ(pacer.held(), 0);
}

} // namespace
