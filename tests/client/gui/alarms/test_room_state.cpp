#include "room_alarms.h"

#include <gtest/gtest.h>

#include <string>

namespace {

RoomAlarmRow row(const std::string& key, const std::string& state, bool active, bool acknowledged)
{
    RoomAlarmRow row;
    row.pointKey = key;
    row.state = state;
    row.active = active;
    row.acknowledged = acknowledged;
    row.raisedMs = 1000;
    row.sinceMs = 2000;
    return row;
}

// Each of the service's states comes back in the same words, listed or not.
TEST(RoomState, EveryStateOfTheServiceIsTheConsolesInTheSameWords)
{
    struct Case {
        RoomAlarmRow row;
        bool listed;
    };
    RoomAlarmRow shelved = row("spectrometer.humidity", "shelved", true, false);
    shelved.shelvedUntilMs = 9000;
    const Case cases[] = {
        {row("link", "normal", false, true), false},
        {row("electronics.water", "unacknowledged", true, false), true},
        {row("electronics.temperature", "acknowledged", true, true), true},
        {row("spectrometer.water", "cleared but unacknowledged", false, false), true},
        {row("spectrometer.temperature", "unacknowledged, chattering", true, false), true},
        {shelved, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row.pointKey);
        const AlarmLatch latch = RoomAlarms::latchOf({c.row});
        const AlarmLatch::Entry& entry = latch.entry(*AlarmPoint::fromKey(c.row.pointKey));
        EXPECT_EQ(entry.stateText(), c.row.state);
        EXPECT_EQ(latch.shown().size(), c.listed ? 1u : 0u);
    }
    EXPECT_EQ(RoomAlarms::latchOf({row("no.such.point", "unacknowledged", true, false)}).shown().size(), 0u);
}

struct Room {
    std::int64_t steady = 0;
    RoomAlarms alarms{{3000, 1500}, {[this] { return steady; }, [this] { return steady + 1'000'000; }}};

    std::vector<RoomAlarms::Heard> read(std::vector<RoomAlarmRow> rows, std::int64_t heartbeatAgeMs = 0)
    {
        RoomAlarmSnapshot snapshot;
        snapshot.reachable = true;
        snapshot.rows = std::move(rows);
        snapshot.service = "service";
        snapshot.heartbeatAgeMs = heartbeatAgeMs;
        return alarms.take(snapshot);
    }
};

TEST(RoomState, ANewUnacknowledgedPointIsHeardOnceAndAgainOnlyWhenRaisedAgain)
{
    Room room;
    const RoomAlarmRow water = row("electronics.water", "unacknowledged", true, false);
    EXPECT_EQ(room.read({water}).size(), 1u);
    EXPECT_EQ(room.read({water}).size(), 0u);
    RoomAlarmRow again = water;
    again.raisedMs = 5000;
    EXPECT_EQ(room.read({again}).size(), 1u);
    RoomAlarmRow chattering = row("link", "unacknowledged, chattering", true, false);
    const std::vector<RoomAlarms::Heard> heard = room.read({again, chattering});
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_FALSE(heard[0].cancelsSilence);
}

// Ages by the database's clock at each read, then by the console's steady
// clock between reads; an unreachable archive does not reset it.
TEST(RoomState, TheServiceIsRunningThenNotHeardThenLostAndBack)
{
    Room room;
    room.read({}, 1000);
    EXPECT_EQ(room.alarms.serviceText(), "Alarm service: running");
    room.steady += 1000;
    EXPECT_EQ(room.alarms.serviceText(), "Alarm service: not heard for 2 s");
    EXPECT_EQ(room.alarms.judge(), RoomAlarms::LostChange::None);
    room.alarms.take(RoomAlarmSnapshot{});
    room.steady += 1000;
    EXPECT_EQ(room.alarms.judge(), RoomAlarms::LostChange::Raised);
    EXPECT_FALSE(room.alarms.live());
    EXPECT_EQ(room.alarms.lost().stateText(), "unacknowledged");
    room.read({}, 0);
    EXPECT_EQ(room.alarms.judge(), RoomAlarms::LostChange::Cleared);
    EXPECT_TRUE(room.alarms.live());
    EXPECT_EQ(room.alarms.lost().stateText(), "cleared but unacknowledged");
    EXPECT_TRUE(room.alarms.acknowledgeLost("me"));
    EXPECT_FALSE(room.alarms.lost().shown());
}

TEST(RoomState, AServiceNeverHeardIsLostCountedFromTheStart)
{
    Room room;
    room.alarms.take(RoomAlarmSnapshot{});
    EXPECT_EQ(room.alarms.serviceText(), "Alarm service: not heard");
    room.steady += 2999;
    EXPECT_EQ(room.alarms.judge(), RoomAlarms::LostChange::None);
    room.steady += 1;
    EXPECT_EQ(room.alarms.judge(), RoomAlarms::LostChange::Raised);
}

} // namespace
