// The history file: what goes in comes back, rollups, retention, settings.
#include "history_schema.h"
#include "history_settings.h"
#include "history_store.h"
#include "history_v1.h"
#include "kov_instrument_config.h"
#include "sqlite_file.h"
#include "sqlite_history_source.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>

using namespace History;

namespace {

constexpr std::int64_t t0 = 1'700'000'040'000; // a minute's start
constexpr std::int64_t day = 86'400'000;

Reading reading(int housing, std::int64_t arrival, double temperature, double humidity = 40.0)
{
    return Reading{housing, arrival / 1000, arrival, temperature, humidity, false};
}

struct StoreTest : ::testing::Test {
    TempDir dir;
    std::string path = dir.file("kovhistory.db");
    HistoryStore store{path, "test_store"};
    void SetUp() override { ASSERT_EQ(store.open(), Fault::None) << store.lastError(); }
};

} // namespace

TEST_F(StoreTest, RecordsComeBackAsWritten)
{
    Batch batch;
    // Minute 0: three readings (two in one millisecond, one no data); minute 1: one.
    batch.readings = {reading(0, t0 + 10, 20.0, 30.0), reading(0, t0 + 10, 22.0, noData),
        reading(0, t0 + 20, noData, 50.0), reading(1, t0 + 5, 5.0), reading(0, t0 + 60'500, 30.0)};
    batch.events = {MessageRecord{2, 17, t0,
                        "Wasser \xc3\xbc"
                        "ber Grenze"},
        SetpointChange{0, Setpoint::OverTemp, 32.0, 32.0, t0 - 10},
        SetpointChange{0, Setpoint::TempWarning, 24.0, 24.0, t0 - 10},
        SetpointChange{0, Setpoint::OverRh, 60.0, 60.0, t0 - 10},
        SetpointChange{0, Setpoint::RhWarning, 35.0, 35.0, t0 - 10},
        SetpointChange{0, Setpoint::OverTemp, 32.0, 28.5, t0 + 30'000},
        LinkChange{LinkEvent::Lost, "the event channel dropped the client", t0 + 1},
        AlarmRecord{AlarmAction::Raised, "Electronics housing temperature over limit", "op", t0 + 2,
            "electronics.temperature", "", 0, 33.25, 32.0},
        AlarmRecord{AlarmAction::Shelved, "Electronics housing water sensor", "op", t0 + 3,
            "electronics.water", "pump swap", t0 + 3'600'000}};
    ASSERT_EQ(store.write(batch), Fault::None) << store.lastError();

    SqliteHistorySource source(path);
    const std::vector<Reading> raw = source.readings(0, t0, t0 + 120'000);
    ASSERT_EQ(raw.size(), 4u) << source.lastError();
    EXPECT_EQ(raw[1].arrivalMs, t0 + 10); // the same millisecond keeps its time
    EXPECT_TRUE(std::isnan(raw[1].humidity));
    EXPECT_TRUE(std::isnan(raw[2].temperature));

    // Only the completed minute is rolled up; no data does not count in it.
    const std::vector<MinuteRollup> minutes = source.rollups(0, t0, t0 + 120'000);
    ASSERT_EQ(minutes.size(), 1u);
    EXPECT_EQ(minutes[0].count, 3);
    EXPECT_DOUBLE_EQ(minutes[0].minTemperature, 20.0);
    EXPECT_DOUBLE_EQ(minutes[0].meanTemperature, 21.0);
    EXPECT_DOUBLE_EQ(minutes[0].maxHumidity, 50.0);
    ASSERT_EQ(store.finishRollups(), Fault::None);
    EXPECT_EQ(source.rollups(0, t0, t0 + 120'000).size(), 2u);

    const auto messages = source.messages(t0, t0 + 1);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text,
        "Wasser \xc3\xbc"
        "ber Grenze");
    EXPECT_EQ(source.linkChanges(t0, t0 + 10).at(0).reason, "the event channel dropped the client");
    const std::vector<AlarmRecord> alarms = source.alarmRecords(t0, t0 + 10);
    ASSERT_EQ(alarms.size(), 2u);
    EXPECT_EQ(alarms[0].user, "op");
    EXPECT_EQ(alarms[0].pointKey, "electronics.temperature");
    EXPECT_DOUBLE_EQ(alarms[0].value, 33.25);
    EXPECT_DOUBLE_EQ(alarms[0].setpoint, 32.0);
    EXPECT_EQ(alarms[1].action, AlarmAction::Shelved);
    EXPECT_EQ(alarms[1].comment, "pump swap");
    EXPECT_EQ(alarms[1].untilMs, t0 + 3'600'000);
    EXPECT_TRUE(std::isnan(alarms[1].value));
    // The set recorded at start is not a change; the operator's Set is.
    ASSERT_EQ(source.setpointChanges(t0 - day, t0 + day).size(), 1u);

    // In force from before the range, then the change inside it.
    const std::vector<SetpointsInForce> sets = source.setpoints(0, t0, t0 + 60'000);
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(sets[0].sinceMs, t0 - 10);
    EXPECT_DOUBLE_EQ(sets[0].overTemp, 32.0);
    EXPECT_EQ(sets[1].sinceMs, t0 + 30'000);
    EXPECT_DOUBLE_EQ(sets[1].overTemp, 28.5);
    EXPECT_DOUBLE_EQ(sets[1].rhWarning, 35.0);
    EXPECT_TRUE(source.setpoints(1, t0, t0 + 60'000).empty());
}

TEST_F(StoreTest, RetentionTrimsInStepsAndRollupsOutliveRawReadings)
{
    const std::int64_t now = t0 + 200 * day;
    const std::int64_t cutoff = now - 90 * day;
    const int old = HistoryStore::retentionBatch + 1000; // more than one step
    Batch batch;
    // One reading a second across the limit, one now; a message 11 years old.
    for (int i = 0; i < old + 1000; ++i)
        batch.readings.push_back(reading(0, cutoff - old * 1000LL + i * 1000LL, 20.0 + i % 7));
    batch.readings.push_back(reading(0, now - 1000, 25.0));
    batch.events.push_back(MessageRecord{0, 0, now - 4000 * day, "old"});
    batch.events.push_back(MessageRecord{0, 0, now - 1000, "new"});
    ASSERT_EQ(store.write(batch), Fault::None) << store.lastError();

    int steps = 0;
    for (bool more = true; more && steps < 100; ++steps)
        ASSERT_EQ(store.retentionStep(now, Retention{}, more), Fault::None) << store.lastError();
    EXPECT_GT(steps, 1);
    EXPECT_EQ(store.retentionHeld(), "");

    SqliteHistorySource source(path);
    EXPECT_EQ(source.readings(0, 0, now).size(), 1001u);
    EXPECT_EQ(source.rollups(0, cutoff - old * 1000LL, cutoff).size(), 100u); // 6000 s of minutes
    const auto messages = source.messages(0, now);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "new");
}

// Three days of one reading a minute (every minute rolled up, but for a
// hole) and a message at the start, trimmed with limits of one day raw and
// two days else, by a clock that may be wrong.
TEST(HistoryRetention, NoRowGoesBecauseTheClockJumped)
{
    constexpr std::int64_t minute = 60'000;
    const std::int64_t end = t0 + 3 * day;
    constexpr int all = 3 * 24 * 60;
    const std::int64_t limit = end - day; // the raw limit with the clock right
    struct Case {
        const char* name;
        std::int64_t now;
        std::pair<std::int64_t, std::int64_t> hole, later; // no readings in one, readings in the other
        std::size_t readingsLeft;                          // of the three days
        bool messageLeft;
        const char* held; // part of retentionHeld(), or empty
    };
    const Case cases[] = {
        {"the clock right", end, {}, {}, 24 * 60, false, ""},
        {"the client off for 50 minutes at the limit", end, {limit - 30 * minute, limit + 20 * minute}, {},
            24 * 60 - 20, false, ""},
        {"the client off for 2 hours at the limit", end, {limit - 60 * minute, limit + 60 * minute}, {},
            all - 120, false, "nothing was recorded from"},
        {"the clock 400 days ahead, nothing new yet", end + 400 * day, {}, {}, all, true,
            "is 400 days past the newest row recorded"},
        {"the clock 400 days ahead, readings recorded since", end + 400 * day + 60 * minute, {},
            {end + 400 * day, end + 400 * day + 60 * minute}, all, true, "nothing was recorded from"},
        {"the clock 400 days ahead for three days", end + 403 * day, {}, {end + 400 * day, end + 403 * day},
            0, false, ""},
        {"the clock a year behind", end - 365 * day, {}, {end - 365 * day, end - 365 * day + 60 * minute},
            all, true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir.file("kovhistory.db");
        HistoryStore store(path, "retention");
        ASSERT_EQ(store.open(), Fault::None) << store.lastError();
        Batch batch;
        for (std::int64_t t = t0; t < end; t += minute)
            if (t < c.hole.first || t >= c.hole.second)
                batch.readings.push_back(reading(0, t, 20.0));
        for (std::int64_t t = c.later.first; t < c.later.second; t += minute)
            batch.readings.push_back(reading(0, t, 30.0));
        batch.events.push_back(MessageRecord{0, 0, t0, "first"});
        ASSERT_EQ(store.write(batch), Fault::None) << store.lastError();
        ASSERT_EQ(store.finishRollups(), Fault::None);

        const Retention retention{1, 2, 2};
        int steps = 0;
        for (bool more = true; more && steps < 100; ++steps)
            ASSERT_EQ(store.retentionStep(c.now, retention, more), Fault::None) << store.lastError();
        const std::string held = store.retentionHeld();
        EXPECT_EQ(held.empty(), *c.held == 0) << held;
        EXPECT_NE(held.find(c.held), std::string::npos) << held;

        SqliteHistorySource source(path);
        EXPECT_EQ(source.readings(0, t0, end).size(), c.readingsLeft);
        EXPECT_EQ(source.messages(t0, t0 + 1).size(), c.messageLeft ? 1u : 0u);
    }
}

// Two writes of one millisecond, a step back, a restart in between: every
// record stays, each with the time it was given.
TEST_F(StoreTest, AClockSteppedBackKeepsEveryRecordAndItsTime)
{
    const std::vector<std::int64_t> times = {t0 + 5, t0 + 5, t0 + 9, t0 + 5, t0 + 1};
    for (std::size_t i = 0; i < times.size(); ++i) {
        if (i == 3) { // a restart: nothing carries over but the file
            store.close();
            ASSERT_EQ(store.open(), Fault::None) << store.lastError();
        }
        const std::int64_t t = times[i];
        Batch batch;
        batch.readings = {reading(0, t, static_cast<double>(i))};
        batch.events = {MessageRecord{0, 0, t, "m" + std::to_string(i)},
            SetpointChange{0, Setpoint::OverTemp, 32.0, 40.0 + static_cast<double>(i), t},
            LinkChange{LinkEvent::Lost, "r", t}, AlarmRecord{AlarmAction::Raised, "p", "op", t}};
        ASSERT_EQ(store.write(batch), Fault::None) << store.lastError();
    }
    std::vector<std::int64_t> sorted = times;
    std::sort(sorted.begin(), sorted.end());
    auto timesOf = [](const auto& rows, auto time) {
        std::vector<std::int64_t> got;
        for (const auto& row : rows)
            got.push_back(row.*time);
        return got;
    };
    SqliteHistorySource source(path);
    EXPECT_EQ(timesOf(source.readings(0, t0, t0 + 10), &Reading::arrivalMs), sorted);
    EXPECT_EQ(timesOf(source.messages(t0, t0 + 10), &MessageRecord::arrivalMs), sorted);
    EXPECT_EQ(timesOf(source.setpointChanges(t0, t0 + 10), &SetpointChange::timeMs), sorted);
    EXPECT_EQ(timesOf(source.linkChanges(t0, t0 + 10), &LinkChange::timeMs), sorted);
    EXPECT_EQ(timesOf(source.alarmRecords(t0, t0 + 10), &AlarmRecord::timeMs), sorted);
}

// A file of the first version: brought up in place, every row kept, and
// written on at once.
TEST(HistorySchema, AnOlderFileIsBroughtUpToDateInPlace)
{
    TempDir dir;
    const std::string path = dir.file("kovhistory.db");
    ASSERT_EQ(runOnSqliteFile(path, historyV1Statements(true)), "");

    HistoryStore store(path, "upgrade");
    ASSERT_EQ(store.open(), Fault::None) << store.lastError();
    EXPECT_EQ(store.upgradedFrom(), 1);
    Batch batch;
    batch.readings = {reading(0, 1'700'000'040'000, 22.5)};
    batch.events = {
        AlarmRecord{AlarmAction::Shelved, "Link lost", "op", 1'700'000'040'000, "link", "works", 7}};
    ASSERT_EQ(store.write(batch), Fault::None) << store.lastError();
    store.close();
    ASSERT_EQ(store.open(), Fault::None) << store.lastError(); // and it passes the check
    EXPECT_EQ(store.upgradedFrom(), HistorySchema::version);

    SqliteHistorySource source(path);
    const auto electronics = source.readings(0, 0, INT64_MAX);
    ASSERT_EQ(electronics.size(), 3u);
    EXPECT_DOUBLE_EQ(electronics[2].temperature, 21.5);
    EXPECT_EQ(source.readings(1, 0, INT64_MAX).size(), 1u);
    ASSERT_EQ(source.messages(0, INT64_MAX).size(), 1u);
    // The first version's alarm records, and one with what later ones keep.
    const std::vector<AlarmRecord> alarms = source.alarmRecords(0, INT64_MAX);
    ASSERT_FALSE(alarms.empty());
    EXPECT_EQ(alarms.back().comment, "works");
    EXPECT_EQ(alarms.back().untilMs, 7);
}

TEST(HistorySettings, ItemOrDefaults)
{
    struct Case {
        const char* line;
        int raw, rollup;
    };
    const Case cases[] = {{"", 90, 3650}, {"KOV-HISTORY_DAYS 30,365\n", 30, 365},
        {"KOV-HISTORY_DAYS 0,3650\n", 0, 3650}, {"KOV-HISTORY_DAYS -1,3650\n", 90, 3650},
        {"KOV-HISTORY_DAYS 30\n", 90, 3650}, {"KOV-HISTORY_DAYS x,y\n", 90, 3650}};
    for (const Case& c : cases) {
        TempDir dir;
        std::ofstream(dir.file("kov.cfg")) << "KOV-E1-TEMP_ALARM_SETPOINTS 24.00,32.00\n" << c.line;
        KovInstrumentConfig config(dir.path());
        config.openDefaultConfig();
        const HistorySettings settings = HistorySettings::load(config);
        EXPECT_EQ(settings.rawDays, c.raw) << c.line;
        EXPECT_EQ(settings.rollupDays, c.rollup) << c.line;
        EXPECT_EQ(settings.recording(), c.raw > 0) << c.line;
    }
}
