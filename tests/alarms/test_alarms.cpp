#include "alarm_engine.h"
#include "alarm_latch.h"
#include "alarm_setpoints.h"
#include "client_timing.h"
#include "kov_instrument_config.h"
#include "stale_tracker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <string>
#include <vector>

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

namespace {

// One step of a timed engine case, at `atS` seconds after the start:
//   'r' a reading of the electronics housing (value for the point's
//       quantity, the other one within limits; nan for no data);
//   'w' a reading with the water sensor in alarm (value 1) or not (0);
//   't' the once-a-second tick;  'a' acknowledge all;
//   's' shelve the point for `value` minutes;  'u' unshelve it;
//   'R' a restart: a new engine takes over the shelves the old one held.
// Then the point's state in words ("" leaves it unchecked).
struct EngineStep {
    double atS;
    char what;
    double value;
    const char* state;
};

struct EngineCase {
    const char* name;
    AlarmPoint point;
    double deadband; // both quantities
    int delaySeconds;
    std::vector<EngineStep> steps;
    int raises;    // journal records of raises
    int heard;     // announcements
    int silencing; // announcements that cancel a silence
};

class EngineRun {
public:
    explicit EngineRun(const EngineCase& c) : case_(c)
    {
        settings_.deadbandCelsius = settings_.deadbandPercent = c.deadband;
        settings_.delaySeconds = c.delaySeconds;
        settings_.staleSeconds = 60;
        start();
    }

    void step(const EngineStep& s)
    {
        steady_ = std::int64_t(s.atS * 1000);
        utc_ = 1'700'000'000'000 + steady_;
        const bool humidity = case_.point.kind == Kind::Humidity;
        switch (s.what) {
        case 'r':
            engine_->reading(0, humidity ? 20 : s.value, humidity ? s.value : 40, false, limits_);
            break;
        case 'w':
            engine_->reading(0, 20, 40, s.value != 0, limits_);
            break;
        case 't':
            engine_->tick();
            break;
        case 'a':
            engine_->acknowledgeAll("operator");
            break;
        case 's':
            engine_->shelve(case_.point, std::int64_t(s.value * 60'000), "operator", "maintenance");
            break;
        case 'u':
            engine_->unshelve(case_.point, "operator");
            break;
        case 'R': {
            const AlarmLatch::Entry kept = engine_->latch().entry(case_.point);
            start();
            if (kept.shelved())
                engine_->restoreShelf(case_.point, kept.shelvedUntilUtcMs, kept.shelvedBy, kept.shelfComment);
            break;
        }
        }
    }

    std::string state() const { return engine_->latch().entry(case_.point).stateText(); }
    int count(AlarmAction action) const
    {
        return int(std::count_if(journal_.begin(), journal_.end(),
            [&](const AlarmRecord& r) { return r.action == action && r.pointKey == case_.point.key(); }));
    }
    int heard = 0, silencing = 0;
    const std::vector<AlarmRecord>& journal() const { return journal_; }

private:
    void start()
    {
        engine_ = std::make_unique<AlarmEngine>(
            settings_, "engine", AlarmEngine::Clock{[this] { return steady_; }, [this] { return utc_; }});
        engine_->setListener({[this](const AlarmRecord& r) { journal_.push_back(r); },
            [this](const AlarmEngine::Announcement& a) {
                heard += a.point == case_.point;
                silencing += a.point == case_.point && a.cancelsSilence;
            },
            nullptr});
    }

    const EngineCase& case_;
    AlarmSettings settings_;
    AlarmSetpoints limits_; // 24/32 °C, 35/60 %
    std::int64_t steady_ = 0, utc_ = 1'700'000'000'000;
    std::unique_ptr<AlarmEngine> engine_;
    std::vector<AlarmRecord> journal_;
};

const AlarmPoint humidity{Kind::Humidity, 0};
const AlarmPoint temperature{Kind::Temperature, 0};
const AlarmPoint noData{Kind::NoValidData, 0};

} // namespace

TEST(AlarmEngine, TimedCases)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const EngineCase cases[] = {
        {"an exact setpoint raises", temperature, 0.5, 0, {{1, 'r', 32.0, "unacknowledged"}}, 1, 1, 1},
        {"humidity is not truncated", humidity, 2, 0,
            {{1, 'r', 59.99, "normal"}, {2, 'r', 60.0, "unacknowledged"}}, 1, 1, 1},
        {"the deadband holds until below it", temperature, 0.5, 0,
            {{1, 'r', 32.3, "unacknowledged"}, {2, 'r', 31.7, "unacknowledged"}, {3, 'a', 0, "acknowledged"},
                {4, 'r', 31.5, "acknowledged"}, {5, 'r', 31.49, "normal"}},
            1, 1, 1},
        {"no deadband: every crossing raises", temperature, 0, 0,
            {{1, 'r', 32.3, ""}, {2, 'r', 31.7, ""}, {3, 'r', 32.3, ""}, {4, 'r', 31.7, ""},
                {5, 'r', 32.3, ""}},
            3, 2, 1},
        {"the on-delay waits, and a dip before it raises nothing", temperature, 0.5, 10,
            {{0, 'r', 33, "normal"}, {5, 'r', 31, "normal"}, {6, 'r', 33, "normal"}, {15, 't', 0, "normal"},
                {16, 't', 0, "unacknowledged"}},
            1, 1, 1},
        {"water is never delayed", AlarmPoint{Kind::Water, 0}, 0.5, 60,
            {{1, 'w', 1, "unacknowledged"}, {2, 'w', 0, "cleared but unacknowledged"}}, 1, 1, 1},
        {"no data in the middle of an alarm keeps it", temperature, 0.5, 0,
            {{1, 'r', 33, ""}, {2, 'a', 0, "acknowledged"}, {3, 'r', nan, "acknowledged"},
                {4, 'r', -1.0, "acknowledged"}, {5, 'r', 33, "acknowledged"}},
            1, 1, 1},
        {"no valid data for the stale limit is a sensor fault", noData, 0.5, 0,
            {{1, 'r', 20, "normal"}, {30, 'r', nan, "normal"}, {60, 't', 0, "normal"},
                {61, 'r', nan, "unacknowledged"}, {62, 'r', 21, "cleared but unacknowledged"}},
            1, 1, 1},
        {"three raises within a minute chatter, heard twice, quiet after 10 minutes",
            AlarmPoint{Kind::Water, 0}, 0.5, 0,
            {{1, 'w', 1, ""}, {2, 'w', 0, ""}, {3, 'w', 1, ""}, {4, 'w', 0, ""},
                {5, 'w', 1, "unacknowledged, chattering"}, {6, 'w', 0, ""}, {7, 'w', 1, ""},
                {606, 't', 0, "unacknowledged, chattering"}, {608, 't', 0, "unacknowledged"}},
            4, 2, 1},
        {"a shelf ends and an active point is back unacknowledged", temperature, 0.5, 0,
            {{1, 'r', 33, ""}, {2, 's', 15, "shelved"}, {3, 'r', 20, "shelved"}, {4, 'r', 33, "shelved"},
                {902, 't', 0, "unacknowledged"}},
            2, 2, 2},
        {"a shelf ended by hand on a cleared point is back to normal", temperature, 0.5, 0,
            {{1, 'r', 33, ""}, {2, 's', 60, "shelved"}, {3, 'r', 20, "shelved"}, {4, 'u', 0, "normal"}}, 1, 1,
            1},
        {"a shelf longer than 8 hours is refused", temperature, 0.5, 0,
            {{1, 'r', 33, ""}, {2, 's', 481, "unacknowledged"}}, 1, 1, 1},
        {"a shelf in force survives a restart and still ends", temperature, 0.5, 0,
            {{1, 's', 60, "shelved"}, {10, 'R', 0, "shelved"}, {11, 'r', 33, "shelved"},
                {3600, 't', 0, "shelved"}, {3602, 't', 0, "unacknowledged"}},
            1, 1, 1},
    };
    for (const EngineCase& c : cases) {
        EngineRun run(c);
        for (const EngineStep& s : c.steps) {
            run.step(s);
            if (*s.state)
                EXPECT_EQ(run.state(), s.state) << c.name << ", at " << s.atS << " s";
        }
        EXPECT_EQ(run.count(AlarmAction::Raised), c.raises) << c.name;
        EXPECT_EQ(run.heard, c.heard) << c.name;
        EXPECT_EQ(run.silencing, c.silencing) << c.name;
    }
}

TEST(AlarmEngine, JournalsWhoDidWhatWithTheValueAndTheShelfsEnd)
{
    const EngineCase c{"", temperature, 0.5, 0, {}, 0, 0, 0};
    EngineRun run(c);
    for (const EngineStep& s : std::vector<EngineStep>{
             {1, 'r', 33.5, ""}, {2, 'a', 0, ""}, {3, 's', 15, ""}, {4, 'u', 0, ""}, {5, 'r', 20, ""}})
        run.step(s);
    const std::vector<AlarmRecord>& j = run.journal();
    ASSERT_EQ(j.size(), 5u);
    const AlarmAction order[] = {AlarmAction::Raised, AlarmAction::Acknowledged, AlarmAction::Shelved,
        AlarmAction::Unshelved, AlarmAction::Cleared};
    const char* users[] = {"engine", "operator", "operator", "operator", "engine"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(j[i].action, order[i]);
        EXPECT_EQ(j[i].user, users[i]);
        EXPECT_EQ(j[i].point, "Electronics housing temperature over limit");
        EXPECT_EQ(j[i].pointKey, "electronics.temperature");
    }
    EXPECT_EQ(j[0].value, 33.5);
    EXPECT_EQ(j[0].setpoint, 32.0);
    EXPECT_EQ(j[0].timeMs, 1'700'000'001'000);
    EXPECT_EQ(j[2].comment, "maintenance");
    EXPECT_EQ(j[2].untilMs, 1'700'000'003'000 + 15 * 60'000);
    EXPECT_EQ(AlarmPoint::fromKey("spectrometer.data"), (AlarmPoint{Kind::NoValidData, 1}));
    EXPECT_FALSE(AlarmPoint::fromKey("electronics.pressure"));
}

TEST(AlarmEngine, TheShelvesInForceAreEachPointsLatestThatHasNotEnded)
{
    const std::int64_t now = 1'700'000'000'000;
    auto record = [](AlarmAction action, const char* key, std::int64_t untilMs) {
        return AlarmRecord{action, "", "op", 0, key, "why", untilMs};
    };
    const std::vector<AlarmRecord> journal = {
        record(AlarmAction::Shelved, "electronics.water", now + 60'000),
        record(AlarmAction::Raised, "electronics.water", 0),
        record(AlarmAction::Shelved, "link", now + 60'000),
        record(AlarmAction::Unshelved, "link", 0),
        record(AlarmAction::Shelved, "spectrometer.humidity", now - 1),
        record(AlarmAction::Shelved, "spectrometer.water", now + 60'000),
        record(AlarmAction::ShelfExpired, "spectrometer.water", 0),
        record(AlarmAction::Unshelved, "electronics.temperature", 0),
        record(AlarmAction::Shelved, "electronics.temperature", now + 120'000),
    };
    std::vector<std::string> kept;
    for (const AlarmRecord& shelf : AlarmEngine::shelvesInForce(journal, now))
        kept.push_back(shelf.pointKey);
    EXPECT_EQ(kept, (std::vector<std::string>{"electronics.temperature", "electronics.water"}));
}
