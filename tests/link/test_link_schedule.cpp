#include "failure_log.h"
#include "reconnect_backoff.h"

#include <gtest/gtest.h>

#include <cstdint>

TEST(ReconnectBackoff, DoublesToTheLongestWithinTwentyPercentAndResets)
{
    std::int64_t now = 0;
    double random = 0.0;
    ReconnectBackoff backoff(
        1, 60, [&] { return now; }, [&] { return random; });
    // Lowest and highest random draw: 80 % and 120 % of each wait.
    const std::int64_t waits[] = {1, 2, 4, 8, 16, 32, 60, 60};
    for (double r : {0.0, 0.999999}) {
        backoff.reset();
        random = r;
        for (std::int64_t wait : waits) {
            backoff.schedule();
            const std::int64_t ms = backoff.msUntilTry();
            EXPECT_NEAR(double(ms), wait * 1000 * (0.8 + 0.4 * r), 1.0);
            now += ms;
            EXPECT_EQ(backoff.msUntilTry(), 0);
        }
    }
    backoff.reset();
    backoff.schedule();
    EXPECT_LE(backoff.msUntilTry(), 1200);
    EXPECT_FALSE(ReconnectBackoff(
        0, 60, [] { return 0; },
        [] {
            return 0.5;
        }).enabled());
}

TEST(FailureLog, ThreeLinesThenOneSummaryPerTenMinutes)
{
    FailureLog log;
    int written = 0, summaries = 0, summarised = 0;
    // One failure every 2 s for 25 minutes.
    for (std::int64_t now = 0; now < 25 * 60'000; now += 2000) {
        const FailureLog::Verdict verdict = log.failed("lookup", now);
        written += verdict.write;
        summaries += verdict.summarised > 0;
        summarised += verdict.summarised;
    }
    EXPECT_EQ(written, 3);
    EXPECT_EQ(summaries, 2);
    EXPECT_EQ(summarised, 600);
    EXPECT_TRUE(log.failed("subscribe", 0).write);
    log.succeeded();
    EXPECT_TRUE(log.failed("lookup", 0).write);
}
