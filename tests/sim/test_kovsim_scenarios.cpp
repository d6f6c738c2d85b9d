// The simulator's own traffic, as a subscribed consumer sees it.
#include "sim_fixture.h"
#include "test_consumer.h"

#include <chrono>
#include <cstring>
#include <set>
#include <thread>

using namespace std::chrono_literals;

namespace {
// The client's default alarm levels.
const double tempWarning = 24.0;
const double overTemp = 32.0;
const double rhWarning = 35.0;
const double overRh = 60.0;

class KovsimScenario : public SimFixture {
protected:
    void subscribe(TestConsumer& consumer)
    {
        Event_Comm::Notifier_var channel = notifier();
        Event_Comm::Consumer_var ref = consumer.reference();
        channel->subscribe(ref.in(), "KOV");
    }

    // Waits (bounded) until `done` holds for what the consumer has received.
    static bool waitFor(TestConsumer& consumer, std::chrono::milliseconds limit,
        const std::function<bool(const std::vector<ReceivedEvent>&)>& done)
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline) {
            if (done(consumer.events()))
                return true;
            std::this_thread::sleep_for(50ms);
        }
        return done(consumer.events());
    }
};

// Which alarm states the readings of one housing have shown.
std::set<std::string> statesOf(const std::vector<ReceivedEvent>& events, HousingID housing)
{
    std::set<std::string> seen;
    for (const ReceivedEvent& e : events) {
        if (e.kind != ReceivedEvent::Kind::Reading || e.reading.id != housing)
            continue;
        const KOV::HousekeepingData& r = e.reading;
        if (r.temp == -1.0 && r.rh == -1.0) {
            seen.insert("no data");
            continue;
        }
        if (r.temp > overTemp)
            seen.insert("temp over");
        else if (r.temp > tempWarning)
            seen.insert("temp warning");
        if (r.rh > overRh)
            seen.insert("rh over");
        else if (r.rh > rhWarning)
            seen.insert("rh warning");
        if (r.wateralarm)
            seen.insert("water");
        if (r.temp < tempWarning && r.rh < rhWarning && !r.wateralarm)
            seen.insert("normal");
    }
    return seen;
}

TEST_F(KovsimScenario, AlarmWalkTakesBothHousingsThroughEveryAlarmState)
{
    start({"--scenario", "alarm-walk", "--step", "0.1", "--rate", "20"});
    TestConsumer consumer;
    subscribe(consumer);
    const std::set<std::string> all = {
        "normal", "temp warning", "temp over", "rh warning", "rh over", "water", "no data"};
    const bool walked = waitFor(consumer, 15s, [&all](const std::vector<ReceivedEvent>& events) {
        return statesOf(events, ELECTRONICS_HOUSING) == all && statesOf(events, SPECTROGRAPH_HOUSING) == all;
    });
    const std::vector<ReceivedEvent> events = consumer.events();
    EXPECT_TRUE(walked) << events.size() << " events";

    std::set<MessagePriority> priorities;
    std::set<short> eventIds;
    for (const ReceivedEvent& e : events) {
        if (e.kind == ReceivedEvent::Kind::Message)
            priorities.insert(e.priority);
        if (e.kind == ReceivedEvent::Kind::Event)
            eventIds.insert(e.id);
    }
    EXPECT_EQ(priorities, (std::set<MessagePriority>{MESSAGE, WARNING, ALARM}));
    EXPECT_GE(eventIds.size(), 10u);
}

TEST_F(KovsimScenario, QuietStaysWithinTheLimitsAtTheGivenRate)
{
    start({"--scenario", "quiet", "--rate", "20", "--seed", "7"});
    TestConsumer consumer;
    subscribe(consumer);
    std::this_thread::sleep_for(2s);
    const std::vector<ReceivedEvent> events = consumer.events();

    int readings[2] = {0, 0};
    for (const ReceivedEvent& e : events) {
        if (e.kind != ReceivedEvent::Kind::Reading)
            continue;
        ++readings[e.reading.id];
        const KOV::HousekeepingData& r = e.reading;
        const bool noData = r.temp == -1.0 && r.rh == -1.0;
        EXPECT_TRUE(noData || (r.temp > 10 && r.temp < tempWarning && r.rh > 5 && r.rh < rhWarning))
            << r.temp << " " << r.rh;
        EXPECT_FALSE(r.wateralarm);
    }
    // About 40 per housing in two seconds; the bounds allow for a slow start.
    for (int count : readings) {
        EXPECT_GE(count, 20);
        EXPECT_LE(count, 50);
    }
}

TEST_F(KovsimScenario, FloodDeliversHundredsOfEventsIncludingLongMessages)
{
    start({"--scenario", "flood"});
    TestConsumer consumer;
    subscribe(consumer);
    const bool flooded = waitFor(consumer, 10s, [](const std::vector<ReceivedEvent>& events) {
        if (events.size() < 500)
            return false;
        for (const ReceivedEvent& e : events)
            if (e.kind == ReceivedEvent::Kind::Message && e.text.size() > 128)
                return true;
        return false;
    });
    EXPECT_TRUE(flooded) << consumer.events().size();
}

TEST_F(KovsimScenario, BackToBackFloodWaitsForAStalledConsumerAndLosesNothing)
{
    start({"--scenario", "flood", "--rate", "max", "--call-timeout", "5"});
    TestConsumer consumer;
    consumer.hang(5s);
    subscribe(consumer);
    // One push hangs and the queue behind it is full: the next event waits.
    ASSERT_TRUE(sim().waitForLine("^push seq=10002 ", 20s));
    std::this_thread::sleep_for(300ms);
    consumer.release();

    ASSERT_TRUE(consumer.waitForEvents(15000, 30s));
    long expected = 0;
    for (const ReceivedEvent& e : consumer.events()) {
        if (e.kind != ReceivedEvent::Kind::Message)
            continue;
        // "Flood message N" or "Flood message N: xxx...", N counting up from 0.
        ASSERT_EQ(std::stol(e.text.substr(std::strlen("Flood message "))), expected++) << e.text;
    }
    EXPECT_TRUE(consumer.disconnects().empty());
}
} // namespace
