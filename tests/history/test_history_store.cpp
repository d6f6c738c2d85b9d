// The history file: what goes in comes back, rollups, retention, settings.
#include "history_settings.h"
#include "history_store.h"
#include "kov_instrument_config.h"
#include "sqlite_history_source.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

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
        AlarmRecord{AlarmAction::Raised, "Electronics housing temperature over limit", "op", t0 + 2}};
    ASSERT_EQ(store.write(batch), Fault::None) << store.lastError();

    SqliteHistorySource source(path);
    const std::vector<Reading> raw = source.readings(0, t0, t0 + 120'000);
    ASSERT_EQ(raw.size(), 4u) << source.lastError();
    EXPECT_EQ(raw[1].arrivalMs, t0 + 11); // the same millisecond moved on by one
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
    EXPECT_EQ(source.alarmRecords(t0, t0 + 10).at(0).user, "op");
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
    Batch batch;
    // 100 days old: more than one step of raw readings, one message 11 years old.
    for (int i = 0; i < HistoryStore::retentionBatch + 1000; ++i)
        batch.readings.push_back(reading(0, now - 100 * day + i * 1000LL, 20.0 + i % 7));
    batch.readings.push_back(reading(0, now - 1000, 25.0));
    batch.events.push_back(MessageRecord{0, 0, now - 4000 * day, "old"});
    batch.events.push_back(MessageRecord{0, 0, now - 1000, "new"});
    ASSERT_EQ(store.write(batch), Fault::None) << store.lastError();

    int steps = 0;
    for (bool more = true; more && steps < 100; ++steps)
        ASSERT_EQ(store.retentionStep(now, Retention{}, more), Fault::None) << store.lastError();
    EXPECT_GT(steps, 1);

    SqliteHistorySource source(path);
    EXPECT_EQ(source.readings(0, 0, now).size(), 1u);
    EXPECT_EQ(source.rollups(0, now - 101 * day, now - 99 * day).size(), 100u); // 6000 s of minutes
    const auto messages = source.messages(0, now);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "new");
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
