#include "alarm_engine.h"
#include "alarm_latch.h"
#include "alarm_setpoints.h"
#include "client_timing.h"
#include "kov_instrument_config.h"
#include "stale_tracker.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

using Kind = AlarmPoint::Kind;
const AlarmPoint water{Kind::Water, 0};
const AlarmPoint temp{Kind::Temperature, 1};
const AlarmPoint stale{Kind::NoReadings, 0};

// One step: set a point in or out of alarm ('+' / '-') or acknowledge it
// ('a'); then the expected unacknowledged count and whether it is active.
struct Step {
    char what;
    AlarmPoint point;
    int unacknowledged;
    bool active;
};

struct LatchCase {
    const char* name;
    std::vector<Step> steps;
    std::vector<AlarmLatch::Action> actions;
};

} // namespace

TEST(AlarmLatch, Table)
{
    using A = AlarmLatch::Action;
    const LatchCase cases[] = {
        {"blip stays latched", {{'+', water, 1, true}, {'-', water, 1, false}, {'a', water, 0, false}},
            {A::Raised, A::Cleared, A::Acknowledged}},
        {"re-raise after acknowledge",
            {{'+', temp, 1, true}, {'a', temp, 0, true}, {'-', temp, 0, false}, {'+', temp, 1, true}},
            {A::Raised, A::Acknowledged, A::Cleared, A::Raised}},
        {"acknowledged while active stays shown until clear",
            {{'+', water, 1, true}, {'a', water, 0, true}, {'+', water, 0, true}},
            {A::Raised, A::Acknowledged}},
        {"stale then a reading", {{'+', stale, 1, true}, {'-', stale, 1, false}, {'a', stale, 0, false}},
            {A::Raised, A::Cleared, A::Acknowledged}},
        {"link lost, back, lost again before acknowledge",
            {{'+', AlarmPoint::link(), 1, true}, {'-', AlarmPoint::link(), 1, false},
                {'+', AlarmPoint::link(), 1, true}},
            {A::Raised, A::Cleared, A::Raised}},
        {"acknowledge with nothing raised", {{'a', water, 0, false}}, {}},
    };
    for (const LatchCase& c : cases) {
        AlarmLatch latch;
        std::vector<A> actions;
        std::int64_t now = 0;
        for (const Step& step : c.steps) {
            now += 1000;
            if (step.what == 'a') {
                if (latch.acknowledge(step.point))
                    actions.push_back(A::Acknowledged);
            } else if (auto action = latch.set(step.point, step.what == '+', now)) {
                actions.push_back(*action);
            }
            EXPECT_EQ(latch.unacknowledgedCount(), step.unacknowledged) << c.name;
            EXPECT_EQ(latch.entry(step.point).active, step.active) << c.name;
        }
        EXPECT_EQ(actions, c.actions) << c.name;
    }
}

TEST(AlarmLatch, SummaryNamesTheMostSevereAndAcknowledgeAllTakesEvery)
{
    AlarmLatch latch;
    latch.set(temp, true, 1);
    latch.set(water, true, 2);
    EXPECT_EQ(latch.summary(), "2 unacknowledged alarms: Electronics housing water sensor");
    latch.set(AlarmPoint::link(), true, 3);
    EXPECT_EQ(latch.summary(), "3 unacknowledged alarms: Link lost");
    EXPECT_EQ(latch.acknowledgeAll().size(), 3u);
    EXPECT_EQ(latch.summary(), "No unacknowledged alarms");
    EXPECT_EQ(latch.shown().size(), 3u); // still in alarm
}

TEST(StaleTracker, CountsFromTheStartUntilTheFirstReadingAndZeroTurnsItOff)
{
    StaleTracker tracker(60, 0);
    EXPECT_FALSE(tracker.stale(0, 59'999));
    EXPECT_TRUE(tracker.stale(0, 60'000));
    EXPECT_FALSE(tracker.ageSeconds(0, 60'000));
    tracker.reading(0, 60'000);
    EXPECT_FALSE(tracker.stale(0, 119'999));
    EXPECT_EQ(tracker.ageSeconds(0, 64'500), 4);
    EXPECT_TRUE(tracker.stale(1, 60'000));
    EXPECT_FALSE(StaleTracker(0, 0).stale(0, 1'000'000'000));
}

TEST(ClientTiming, ReadsTheTwoItemsAndKeepsDefaultsForGarbage)
{
    struct Case {
        const char* lines;
        int stale, first, longest;
    };
    const Case cases[] = {
        {"", 60, 1, 60},
        {"KOV-STALE_SECONDS 0\nKOV-RECONNECT_SECONDS 0\n", 0, 0, 60},
        {"KOV-STALE_SECONDS 5\nKOV-RECONNECT_SECONDS 2,30\n", 5, 2, 30},
        {"KOV-STALE_SECONDS x\nKOV-RECONNECT_SECONDS 30,2\n", 60, 1, 60},
        {"KOV-STALE_SECONDS -3\nKOV-RECONNECT_SECONDS 1.5,9\n", 60, 1, 60},
    };
    const auto folder = std::filesystem::temp_directory_path() / ("kov-timing-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    for (const Case& c : cases) {
        std::ofstream(folder / "kov.cfg") << c.lines;
        KovInstrumentConfig config(folder.string());
        config.openDefaultConfig();
        const ClientTiming timing = ClientTiming::read(config);
        EXPECT_EQ(timing.staleSeconds, c.stale) << c.lines;
        EXPECT_EQ(timing.reconnectFirstSeconds, c.first) << c.lines;
        EXPECT_EQ(timing.reconnectLongestSeconds, c.longest) << c.lines;
    }
    std::filesystem::remove_all(folder);
}

TEST(AlarmEngine, JournalsWithTheEnginesUserAndThePersonsAndTimesInUtc)
{
    std::int64_t steady = 5000, utc = 1'700'000'000'000;
    AlarmEngine engine(60, "kovrecorder", {[&] { return steady; }, [&] { return utc; }});
    std::vector<AlarmRecord> journal;
    std::vector<AlarmPoint> raised;
    engine.setListener({[&](const AlarmRecord& r) { journal.push_back(r); },
        [&](AlarmPoint p) { raised.push_back(p); }, nullptr});
    const AlarmSetpoints limits;
    engine.reading(7, 99, 99, true, limits); // not a housing
    EXPECT_TRUE(journal.empty());

    steady += 1000;
    utc += 1000;
    engine.reading(1, 33, 40, false, limits);
    engine.reading(1, 20, 40, false, limits);
    engine.acknowledgeAll("operator");
    ASSERT_EQ(journal.size(), 3u);
    EXPECT_EQ(journal[0].action, AlarmAction::Raised);
    EXPECT_EQ(journal[0].point, "Spectrometer housing temperature over limit");
    EXPECT_EQ(journal[0].user, "kovrecorder");
    EXPECT_EQ(journal[0].timeMs, utc);
    EXPECT_EQ(journal[1].action, AlarmAction::Cleared);
    EXPECT_EQ(journal[2].user, "operator");
    EXPECT_EQ(raised, std::vector<AlarmPoint>{temp});
    EXPECT_EQ(engine.utcMs(engine.latch().entry(temp).raisedMs), utc);

    // The electronics housing never sent anything: stale a minute after the start.
    steady = 5000 + 60'000;
    engine.tick();
    EXPECT_TRUE(engine.latch().entry(stale).unacknowledged);
    EXPECT_FALSE(engine.latch().entry({Kind::NoReadings, 1}).active);
}
