#include "accessible_pacer.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

AccessiblePacer::Clock::time_point at(int ms)
{
    return AccessiblePacer::Clock::time_point(std::chrono::milliseconds(ms));
}

// Steps: a value ('v'), a state change ('s') or the timer ('t') at a time,
// and the changes told then.
TEST(AccessiblePacer, TellsAtAListenersPace)
{
    struct Step {
        int ms;
        char kind;
        int told;
    };
    const std::vector<std::vector<Step>> cases = {
        // The first value at once, the next held for the rest of the second.
        {{100, 'v', 1}, {300, 'v', 0}, {900, 't', 0}, {1100, 't', 1}, {1200, 't', 0}},
        // A state change at once with what is held; the second starts anew.
        {{0, 'v', 1}, {10, 'v', 0}, {20, 'v', 0}, {30, 's', 2}, {1000, 't', 0}, {1029, 'v', 0},
            {1030, 't', 1}},
        // Two states in a row both told; a value after a quiet second at once.
        {{0, 's', 0}, {5, 's', 0}, {2000, 'v', 1}},
    };
    for (const auto& steps : cases) {
        AccessiblePacer pacer;
        for (const Step& step : steps) {
            const int told = step.kind == 'v' ? pacer.change(at(step.ms))
                : step.kind == 's'            ? pacer.stateChange(at(step.ms))
                                              : pacer.release(at(step.ms));
            EXPECT_EQ(told, step.told) << step.kind << " at " << step.ms << " ms";
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
    for (int ms = 0; ms <= 5000; ++ms) {
        const bool reading = ms % 5 < 2 && ms < 3500;
        if (reading)
            latest = ms;
        if ((reading && pacer.change(at(ms)) > 0) || pacer.release(at(ms)) > 0)
            heard.emplace_back(ms, latest);
    }
    const std::vector<std::pair<int, int>> expected = {
        {0, 0}, {1000, 1000}, {2000, 2000}, {3000, 3000}, {4000, 3496}};
    EXPECT_EQ(heard, expected);
    EXPECT_EQ(pacer.held(), 0);
}

} // namespace
