// The simulator's event channel, seen from consumers built from the IDL.
#include "sim_fixture.h"
#include "test_consumer.h"

#include <chrono>
#include <cstdint>
#include <cstring>
#include <thread>

using namespace std::chrono_literals;

namespace {
class KovsimChannel : public SimFixture {
protected:
    void SetUp() override { start(); }

    // Subscribes `consumer` and waits until kovsim has reported it.
    void subscribe(TestConsumer& consumer, const char* criteria = "KOV")
    {
        Event_Comm::Notifier_var channel = notifier();
        Event_Comm::Consumer_var ref = consumer.reference();
        channel->subscribe(ref.in(), criteria);
        ASSERT_TRUE(sim().waitForLine("^subscribe consumer=\\d+ criteria=\"" + std::string(criteria) + "\""));
    }
};

TEST_F(KovsimChannel, BindsANotifierAndASystemInTheRootContext)
{
    Event_Comm::Notifier_var channel = notifier();
    KOV::System_var instrument = system();
    ASSERT_FALSE(CORBA::is_nil(channel.in()));
    ASSERT_FALSE(CORBA::is_nil(instrument.in()));
    EXPECT_TRUE(channel->_is_a("IDL:Event_Comm/Notifier:1.0"));
    EXPECT_TRUE(instrument->_is_a("IDL:KOV/System:1.0"));
    EXPECT_LT(instrument->elapsedTime(), 5u);
}

TEST_F(KovsimChannel, DeliversEveryKindOfPayloadInOrderWithItsFields)
{
    TestConsumer consumer;
    subscribe(consumer);
    // 200 characters with blanks and quotes, beyond the 128 bound of the type.
    std::string longText;
    while (longText.size() < 200)
        longText += "Water \"in\" housing ";
    longText.resize(200);

    sim().send("push reading at=1700000000 s 25.5 40.25 1");
    sim().send("push message at=1700000001 alarm " + longText);
    sim().send("push string plain text");
    sim().send("push event at=1700000002 -7 LAMP ON");
    sim().send("push unknown odd one");
    sim().send("push reading e -1 -1 0");
    sim().send("push message warning");

    ASSERT_TRUE(consumer.waitForEvents(7, 5s)) << consumer.events().size();
    const std::vector<ReceivedEvent> got = consumer.events();
    ASSERT_EQ(got.size(), 7u);

    EXPECT_EQ(got[0].kind, ReceivedEvent::Kind::Reading);
    EXPECT_EQ(got[0].reading.id, SPECTROGRAPH_HOUSING);
    EXPECT_DOUBLE_EQ(got[0].reading.temp, 25.5);
    EXPECT_DOUBLE_EQ(got[0].reading.rh, 40.25);
    EXPECT_TRUE(got[0].reading.wateralarm);
    EXPECT_EQ(got[0].reading.readingTime, 1700000000u);

    EXPECT_EQ(got[1].kind, ReceivedEvent::Kind::Message);
    EXPECT_EQ(got[1].text, longText);
    EXPECT_EQ(got[1].priority, ALARM);
    EXPECT_EQ(got[1].time, 1700000001u);

    EXPECT_EQ(got[2].kind, ReceivedEvent::Kind::String);
    EXPECT_EQ(got[2].text, "plain text");

    EXPECT_EQ(got[3].kind, ReceivedEvent::Kind::Event);
    EXPECT_EQ(got[3].id, -7);
    EXPECT_EQ(got[3].text, "LAMP ON");
    EXPECT_EQ(got[3].time, 1700000002u);

    EXPECT_EQ(got[4].kind, ReceivedEvent::Kind::Other);
    EXPECT_EQ(got[4].repositoryId, "IDL:KOVSIM/Unknown:1.0");

    EXPECT_EQ(got[5].kind, ReceivedEvent::Kind::Reading);
    EXPECT_EQ(got[5].reading.id, ELECTRONICS_HOUSING);
    EXPECT_EQ(got[5].reading.temp, -1.0);
    EXPECT_EQ(got[5].reading.rh, -1.0);
    EXPECT_FALSE(got[5].reading.wateralarm);

    EXPECT_EQ(got[6].kind, ReceivedEvent::Kind::Message);
    EXPECT_EQ(got[6].text, "");
    EXPECT_EQ(got[6].priority, WARNING);
    const auto now = static_cast<TimeBase::TimeT>(std::time(nullptr));
    EXPECT_LE(got[6].time, now);
    EXPECT_GE(got[6].time + 60, now);

    // The report lines follow the same order and name the one consumer.
    EXPECT_TRUE(sim().waitForLine(
        "^push seq=1 consumers=1 kind=reading housing=1 temp=25.500 rh=40.250 water=1 time=1700000000$"));
    EXPECT_TRUE(sim().waitForLine(
        "^push seq=2 consumers=1 kind=message priority=2 time=1700000001 length=200 text=\"Water \\\\\"in"));
    EXPECT_TRUE(sim().waitForLine("^push seq=3 consumers=1 kind=string text=\"plain text\"$"));
    EXPECT_TRUE(
        sim().waitForLine("^push seq=4 consumers=1 kind=event id=-7 time=1700000002 name=\"LAMP ON\"$"));
}

// Long texts made up by kovsim itself, numbered in their run; their report
// lines quote only the start.
TEST_F(KovsimChannel, SizeAndCountMakeRunsOfLongMessages)
{
    TestConsumer consumer;
    subscribe(consumer);
    sim().send("push message at=1700000003 size=3000 count=3 warning big");
    sim().send("push message size=5 alarm a much longer text");
    ASSERT_TRUE(consumer.waitForEvents(4, 5s));
    const std::vector<ReceivedEvent> got = consumer.events();
    for (int n = 1; n <= 3; ++n) {
        const std::string head = std::to_string(n) + " big";
        EXPECT_EQ(got[n - 1].text, head + std::string(3000 - head.size(), '.'));
        EXPECT_EQ(got[n - 1].priority, WARNING);
        EXPECT_EQ(got[n - 1].time, 1700000003u);
    }
    EXPECT_EQ(got[3].text, "a much longer text");
    EXPECT_TRUE(
        sim().waitForLine("^push seq=3 consumers=1 kind=message priority=1 time=1700000003 length=3000 "
                          "text=\"3 big\\.{1019}\"\\.\\.\\.$"));
}

std::uint64_t bitsOf(double value)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

TEST_F(KovsimChannel, SensorFaultsGoOutBitForBitAndReadablyReported)
{
    struct Case {
        const char* words; // TEMP RH
        std::uint64_t temp;
        std::uint64_t rh;
        const char* report;
    };
    const Case cases[] = {
        {"nan NaN", 0x7ff8000000000000, 0x7ff8000000000000, "temp=nan rh=nan"},
        {"inf -INF", 0x7ff0000000000000, 0xfff0000000000000, "temp=inf rh=-inf"},
        {"+Inf 0", 0x7ff0000000000000, 0, "temp=inf rh=0.000"},
        {"4.9e-324 2.2e-310", 0x0000000000000001, bitsOf(2.2e-310), "temp=4.94066e-324 rh=2.2e-310"},
        {"-4.9e-324 1e-400", 0x8000000000000001, 0, "temp=-4.94066e-324 rh=0.000"},
        {"1e308 -0", bitsOf(1e308), 0x8000000000000000, "temp=1\\d{308}\\.000 rh=-0\\.000"},
    };
    TestConsumer consumer;
    subscribe(consumer);
    for (const Case& c : cases)
        sim().send(std::string("push reading 0 ") + c.words + " 0");

    ASSERT_TRUE(consumer.waitForEvents(std::size(cases), 5s));
    const std::vector<ReceivedEvent> got = consumer.events();
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(bitsOf(got[i].reading.temp), cases[i].temp) << cases[i].words;
        EXPECT_EQ(bitsOf(got[i].reading.rh), cases[i].rh) << cases[i].words;
        EXPECT_TRUE(sim().waitForLine(std::string("kind=reading housing=0 ") + cases[i].report + " water=0 "))
            << cases[i].words;
    }
}

TEST_F(KovsimChannel, AHousingNumberNoClientKnowsGoesOutAsItIs)
{
    TestConsumer consumer;
    subscribe(consumer);
    sim().send("push reading 7 20 40 0");
    sim().send("push reading s 21 41 0");

    EXPECT_TRUE(sim().waitForLine("^push seq=1 consumers=1 kind=reading housing=7 temp=20.000 rh=40.000 "));
    ASSERT_TRUE(sim().waitForLine("^push seq=2 consumers=1 kind=reading housing=1 "));
    ASSERT_TRUE(consumer.waitForEvents(2, 5s));
    const std::vector<ReceivedEvent> got = consumer.events();
    EXPECT_EQ(got[0].tag, "housekeeping");
    EXPECT_EQ(got[0].kind, ReceivedEvent::Kind::Other) << "housing 7 read as a known housing";
    EXPECT_EQ(got[1].reading.id, SPECTROGRAPH_HOUSING);
    EXPECT_FALSE(consumer.waitForDisconnects(1, 0s));
}

// What the operator types (UTF-8) as the texts of messages and strings.
const std::string typedTexts[] = {u8"30 \u00b0C", u8"\u03a9"};

// Pushes each typed text as a message and as a string; answers the texts received.
std::vector<std::string> pushTypedTexts(SimulatorProcess& sim, TestConsumer& consumer)
{
    for (const std::string& text : typedTexts) {
        sim.send("push message warning " + text);
        sim.send("push string " + text);
    }
    std::vector<std::string> texts;
    if (!consumer.waitForEvents(2 * std::size(typedTexts), 5s))
        return texts;
    for (const ReceivedEvent& e : consumer.events())
        texts.push_back(e.text);
    return texts;
}

TEST_F(KovsimChannel, TextsReachAUtf8ConsumerByteForByte)
{
    TestConsumer consumer;
    subscribe(consumer);
    const std::vector<std::string> expected = {typedTexts[0], typedTexts[0], typedTexts[1], typedTexts[1]};
    EXPECT_EQ(pushTypedTexts(sim(), consumer), expected);
}

class KovsimLatin1 : public KovsimChannel {
protected:
    void SetUp() override { start({"--scenario", "none", "-ORBnativeCharCodeSet", "ISO-8859-1"}); }
};

TEST_F(KovsimLatin1, CodeSetGivenOnTheCommandLineIsKept)
{
    // Typed UTF-8 read as Latin-1 and converted again: every text changes.
    TestConsumer consumer;
    subscribe(consumer);
    const std::vector<std::string> got = pushTypedTexts(sim(), consumer);
    ASSERT_EQ(got.size(), 4u);
    for (std::size_t i = 0; i < got.size(); ++i)
        EXPECT_NE(got[i], typedTexts[i / 2]);
}

TEST_F(KovsimChannel, UnsubscribedConsumerGetsNothingMore)
{
    TestConsumer consumer;
    subscribe(consumer);
    sim().send("push string first");
    ASSERT_TRUE(consumer.waitForEvents(1, 5s));

    Event_Comm::Notifier_var channel = notifier();
    Event_Comm::Consumer_var ref = consumer.reference();
    channel->unsubscribe(ref.in(), "KOV");
    EXPECT_TRUE(sim().waitForLine("^unsubscribe consumer=1 criteria=\"KOV\" subscribers=0$"));

    sim().send("push string second");
    ASSERT_TRUE(sim().waitForLine("^push seq=2 consumers=0 kind=string"));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(consumer.events().size(), 1u);
}

TEST_F(KovsimChannel, UnsubscribeOfAStrangerOrWithOtherCriteriaIsRefused)
{
    TestConsumer consumer;
    Event_Comm::Notifier_var channel = notifier();
    Event_Comm::Consumer_var ref = consumer.reference();
    try {
        channel->unsubscribe(ref.in(), "KOV");
        ADD_FAILURE() << "unsubscribe of an unknown consumer accepted";
    } catch (const Event_Comm::Notifier::CannotUnsubscribe& refused) {
        EXPECT_STREQ(refused.reason_.in(), "consumer is not subscribed");
    }

    subscribe(consumer, "KOV");
    try {
        channel->unsubscribe(ref.in(), "-ORBInitRef");
        ADD_FAILURE() << "unsubscribe with other criteria accepted";
    } catch (const Event_Comm::Notifier::CannotUnsubscribe& refused) {
        EXPECT_NE(std::string(refused.reason_.in()).find("criteria"), std::string::npos);
    }
    EXPECT_TRUE(sim().waitForLine("^unsubscribe-refused reason=\"criteria"));
    // Still subscribed: the refusal changed nothing.
    sim().send("push string still here");
    EXPECT_TRUE(consumer.waitForEvents(1, 5s));
}

TEST_F(KovsimChannel, SubscribingTwiceKeepsOneSubscription)
{
    TestConsumer consumer;
    subscribe(consumer);
    subscribe(consumer);
    sim().send("push string once");
    ASSERT_TRUE(sim().waitForLine("^push seq=1 consumers=1 "));
    ASSERT_TRUE(consumer.waitForEvents(1, 5s));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(consumer.events().size(), 1u);
}

TEST_F(KovsimChannel, RefusedSubscriptionCarriesTheReasonEvenAnEmptyOne)
{
    TestConsumer consumer;
    Event_Comm::Notifier_var channel = notifier();
    Event_Comm::Consumer_var ref = consumer.reference();

    for (const std::string reason : {"instrument busy", ""}) {
        sim().send("refuse " + reason);
        ASSERT_TRUE(sim().waitForLine("^ok refuse reason=\"" + reason + "\"$"));
        try {
            channel->subscribe(ref.in(), "KOV");
            ADD_FAILURE() << "subscription accepted despite refuse " << reason;
        } catch (const Event_Comm::Notifier::CannotSubscribe& refused) {
            EXPECT_EQ(std::string(refused.reason_.in()), reason);
        }
        EXPECT_TRUE(sim().waitForLine("^subscribe-refused reason=\"" + reason + "\"$"));
    }

    // Only the next subscription is refused.
    channel->subscribe(ref.in(), "KOV");
    EXPECT_TRUE(sim().waitForLine("^subscribe consumer=1 criteria=\"KOV\" subscribers=1$"));
}

TEST_F(KovsimChannel, DropCallsDisconnectOnEveryConsumerAfterWhatWasQueued)
{
    TestConsumer first, second;
    subscribe(first);
    subscribe(second);
    sim().send("push string before");
    sim().send("drop maintenance of the channel");

    ASSERT_TRUE(first.waitForDisconnects(1, 5s));
    ASSERT_TRUE(second.waitForDisconnects(1, 5s));
    EXPECT_EQ(first.disconnects(), std::vector<std::string>{"maintenance of the channel"});
    EXPECT_EQ(second.disconnects(), std::vector<std::string>{"maintenance of the channel"});
    EXPECT_EQ(first.eventsBeforeDisconnect(), 1u);
    EXPECT_EQ(second.eventsBeforeDisconnect(), 1u);
    EXPECT_TRUE(sim().waitForLine("^ok drop consumers=2 reason=\"maintenance of the channel\"$"));

    // Both forgotten and reported once each, whatever the order of the lines.
    EXPECT_TRUE(sim().waitForLineCount("^drop consumer=[12] reason=\"maintenance of the channel\"$", 2));
    EXPECT_TRUE(sim().waitForLineCount(
        "^consumer-disconnect consumer=[12] result=ok reason=\"maintenance of the channel\"$", 2));
    sim().send("push string after");
    ASSERT_TRUE(sim().waitForLine("^push seq=2 consumers=0 "));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(first.events().size(), 1u);
    EXPECT_EQ(second.events().size(), 1u);
    EXPECT_FALSE(sim().waitForLineCount("^(drop|consumer-disconnect) ", 5, 100ms));
}

TEST_F(KovsimChannel, ConsumerThatIsGoneIsDroppedAndLogged)
{
    TestConsumer gone, staying;
    subscribe(gone);
    subscribe(staying);
    gone.deactivate();
    sim().send("push string one");
    EXPECT_TRUE(sim().waitForLine("^drop consumer=1 reason=\"push failed: OBJECT_NOT_EXIST\"$"));
    sim().send("push string two");
    ASSERT_TRUE(staying.waitForEvents(2, 5s));
    EXPECT_TRUE(sim().waitForLine("^push seq=2 consumers=1 "));
}

class KovsimSlowConsumer : public KovsimChannel {
protected:
    // Long enough that a consumer waiting behind the hung one would notice.
    void SetUp() override { start({"--scenario", "none", "--call-timeout", "3"}); }
};

TEST_F(KovsimSlowConsumer, HungConsumerDelaysNobodyAndIsDroppedAfterTheTimeLimit)
{
    TestConsumer hung, healthy;
    subscribe(hung);
    subscribe(healthy);
    hung.hang(15s);

    const auto sent = std::chrono::steady_clock::now();
    for (int i = 1; i <= 3; ++i)
        sim().send("push string event " + std::to_string(i));
    // Delivered at once to the healthy consumer, not after the hung one's limit.
    ASSERT_TRUE(healthy.waitForEvents(3, 2s));
    EXPECT_LT(std::chrono::steady_clock::now() - sent, 2s);

    ASSERT_TRUE(sim().waitForLine("^drop consumer=1 reason=\"push failed: TIMEOUT\"$", 8s));
    const auto dropped = std::chrono::steady_clock::now() - sent;
    EXPECT_GE(dropped, 2900ms);
    EXPECT_LT(dropped, 6s);
    // It is told why, in case it was only slow.
    EXPECT_TRUE(hung.waitForDisconnects(1, 4s));
    hung.release();

    sim().send("push string event 4");
    EXPECT_TRUE(sim().waitForLine("^push seq=4 consumers=1 kind=string"));
    EXPECT_TRUE(healthy.waitForEvents(4, 5s));
}

// Far fewer events than the queue's count, but more text than it holds.
TEST_F(KovsimSlowConsumer, AConsumerFallingBehindByMegabytesOfTextIsDropped)
{
    TestConsumer hung;
    subscribe(hung);
    hung.hang(15s);
    sim().send("push message size=1900000 count=40 alarm long");
    EXPECT_TRUE(sim().waitForLine("^drop consumer=1 reason=\"too slow: .* MiB of text pending\"$", 8s));
    hung.release();
}
} // namespace
