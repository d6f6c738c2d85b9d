// The recorder's on-call notification against a private PostgreSQL cluster,
// a local mail server reached through msmtp and a local webhook, with the
// alarm engine driven in this process as the alarm service drives it. The
// cases share one cluster and one mail server; each has an instrument and
// addresses of its own.
#include "alarm_engine.h"
#include "alarm_setpoints.h"
#include "child_process.h"
#include "mail_sink.h"
#include "notification_service.h"
#include "postgres_cluster.h"
#include "temp_dir.h"
#include "webhook_sink.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::int64_t msOf(std::chrono::system_clock::time_point t)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
}
std::int64_t steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
}
std::int64_t utcMs()
{
    return msOf(std::chrono::system_clock::now());
}

std::size_t count(const std::string& text, const std::string& part)
{
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// What every case shares.
struct Room {
    TempDir dir;
    PostgresCluster db;
    MailSink sink{dir.path()};
    WebhookSink hook{dir.file("hook")};
    History::ArchiveAddress address;

    Room()
    {
        ::setenv("PGPASSWORD", db.password().c_str(), 1);
        std::string error;
        address = *History::ArchiveAddress::parse(db.url(), error);
        sink.start();
        hook.start();
    }
    std::vector<std::string> mailsTo(const std::string& address) const
    {
        std::vector<std::string> found;
        for (const std::string& mail : sink.mails())
            if (mail.find("To: " + address + "\n") != std::string::npos ||
                mail.find("To: " + address + "\r") != std::string::npos)
                found.push_back(mail);
        return found;
    }
    // Rows of the instrument's outbox; -1 before the first notifier made it.
    long outbox(const std::string& instrument, const std::string& where = "true") const
    {
        try {
            return std::stol(db.query("SELECT count(*) FROM notification_outbox WHERE instrument = '" +
                instrument + "' AND " + where));
        } catch (const std::runtime_error&) {
            return -1;
        }
    }
};

// One recorder of an instrument: its alarm engine, fed a reading of each
// housing every 100 ms, and its notification service, whose clock a case
// may step a minute on (past the gap between two mails to an address).
struct Station {
    std::atomic<std::int64_t> aheadMs{0};
    std::vector<std::string> log;
    std::mutex logMutex;
    AlarmEngine engine{AlarmSettings{}, "kovrecorder", {steadyMs, utcMs}};
    Recorder::NotificationService service;
    AlarmSetpoints limits;
    bool water[2] = {false, false}, hot[2] = {false, false}, humid[2] = {false, false}, linkLost = false;
    int raises = 0;

    Station(const Room& room, const std::string& instrument, NotifySettings settings, bool active = true)
        : service({room.address, instrument, settings,
              [this](const std::string& line) {
                  std::lock_guard<std::mutex> lock(logMutex);
                  log.push_back(line);
              },
              1, [this] { return utcMs() + aheadMs; }})
    {
        engine.setListener({[this](const AlarmRecord& r) {
                                raises += r.action == AlarmAction::Raised;
                                service.recorded(r);
                            },
            nullptr, nullptr});
        service.start();
        service.serviceActive(active);
    }
    void step()
    {
        for (int h = 0; h < 2; ++h)
            engine.reading(h, hot[h] ? 40 : 20, humid[h] ? 70 : 40, water[h], limits);
        engine.linkUp(!linkLost);
        engine.tick();
        service.tick(engine, utcMs());
    }
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
    {
        for (const auto end = Clock::now() + limit;; std::this_thread::sleep_for(100ms)) {
            step();
            if (done())
                return true;
            if (Clock::now() > end)
                return false;
        }
    }
    void runFor(std::chrono::milliseconds time)
    {
        runUntil([] { return false; }, time);
    }
};

NotifySettings settings(std::vector<std::string> notify, int after, std::vector<std::string> escalate = {},
    int escalateAfter = 600)
{
    NotifySettings s;
    s.notify = std::move(notify);
    s.escalate = std::move(escalate);
    s.notifyAfterSeconds = after;
    s.escalateAfterSeconds = escalateAfter;
    return s;
}

const AlarmPoint water0{AlarmPoint::Kind::Water, 0};

void mailedWithinTheDelayAndTheWebhookCalled(Room& room)
{
    NotifySettings s = settings({"delay@example.org"}, 1);
    s.sendmail = room.sink.sendmail();
    s.webhook = room.hook.url();
    Station station(room, "delay", s);
    station.water[0] = true;
    ASSERT_TRUE(station.runUntil([&] { return room.mailsTo("delay@example.org").size() == 1; }, 1s + 5s));
    const std::string mail = room.mailsTo("delay@example.org")[0];
    for (const std::string& part :
        std::vector<std::string>{"Subject: KOV delay: Electronics housing water sensor unacknowledged",
            "kovalarms --archive postgresql://kov@127.0.0.1:" + std::to_string(room.db.port()) +
                "/kov --instrument delay ack electronics.water"})
        EXPECT_NE(mail.find(part), std::string::npos) << part << " in\n" << mail;
    ASSERT_TRUE(room.hook.waitFor(1, 5s));
    const std::string body = room.hook.bodies()[0];
    EXPECT_NE(body.find("\"instrument\":\"delay\""), std::string::npos) << body;
    EXPECT_NE(body.find("\"point\":\"electronics.water\""), std::string::npos) << body;
}

void noneWhenAcknowledgedInTime(Room& room)
{
    NotifySettings s = settings({"intime@example.org"}, 2);
    s.sendmail = room.sink.sendmail();
    Station station(room, "intime", s);
    station.water[0] = true;
    station.runFor(500ms);
    ASSERT_TRUE(station.engine.acknowledge(water0, "jsmith"));
    station.runFor(3s);
    EXPECT_TRUE(room.mailsTo("intime@example.org").empty());
    EXPECT_EQ(room.outbox("intime"), 0);
}

void escalatedToTheSecondLine(Room& room)
{
    NotifySettings s = settings({"first-line@example.org"}, 1, {"second-line@example.org"}, 2);
    s.sendmail = room.sink.sendmail();
    Station station(room, "escalate", s);
    station.water[0] = true;
    ASSERT_TRUE(
        station.runUntil([&] { return room.mailsTo("second-line@example.org").size() == 1; }, 1s + 2s + 5s));
    EXPECT_NE(room.mailsTo("second-line@example.org")[0].find("ESCALATED"), std::string::npos);
    EXPECT_EQ(room.mailsTo("first-line@example.org").size(), 1u);
}

void allClearOnceClearedAndAcknowledged(Room& room)
{
    NotifySettings s = settings({"clear@example.org"}, 1);
    s.sendmail = room.sink.sendmail();
    Station station(room, "clear", s);
    station.water[0] = true;
    ASSERT_TRUE(station.runUntil([&] { return room.mailsTo("clear@example.org").size() == 1; }, 6s));
    station.water[0] = false;
    station.step();
    ASSERT_TRUE(station.engine.acknowledge(water0, "jsmith"));
    station.aheadMs += 60'000;
    ASSERT_TRUE(station.runUntil([&] { return room.mailsTo("clear@example.org").size() == 2; }, 5s));
    const std::string mail = room.mailsTo("clear@example.org")[1];
    EXPECT_NE(mail.find("Subject: KOV clear: all clear"), std::string::npos) << mail;
    EXPECT_NE(mail.find("Electronics housing water sensor: acknowledged by jsmith"), std::string::npos)
        << mail;
}

// 50 raises in 10 s of the seven points that readings and the link can
// raise, each raise unacknowledged past the delay before its point's next.
void aStormIsOneMailPerAddressPerMinuteNamingEveryAlarm(Room& room)
{
    const std::vector<std::string> to{"storm-a@example.org", "storm-b@example.org"};
    NotifySettings s = settings(to, 1);
    s.sendmail = room.sink.sendmail();
    Station station(room, "storm", s);
    bool* const points[] = {&station.water[0], &station.water[1], &station.hot[0], &station.hot[1],
        &station.humid[0], &station.humid[1], &station.linkLost};
    for (int tick = 0; station.raises < 50; ++tick) {
        for (int p = 0; p < 7; ++p)
            *points[p] = tick >= 2 * p && (tick - 2 * p) % 14 < 7;
        station.step();
        std::this_thread::sleep_for(100ms);
    }
    station.runFor(2s);
    for (const std::string& address : to)
        EXPECT_EQ(room.mailsTo(address).size(), 1u) << address;
    station.aheadMs += 60'000;
    ASSERT_TRUE(station.runUntil(
        [&] { return room.mailsTo(to[0]).size() == 2 && room.mailsTo(to[1]).size() == 2; }, 5s));
    station.runFor(1s);
    for (const std::string& address : to) {
        const std::vector<std::string> mails = room.mailsTo(address);
        ASSERT_EQ(mails.size(), 2u) << address;
        EXPECT_EQ(count(mails[0] + mails[1], "Raised:    "), 50u) << address;
        for (int p = 0; p < 7; ++p) {
            const AlarmPoint point = p == 6
                ? AlarmPoint::link()
                : AlarmPoint{std::array{AlarmPoint::Kind::Water, AlarmPoint::Kind::Temperature,
                                 AlarmPoint::Kind::Humidity}[p / 2],
                      p % 2};
            EXPECT_NE((mails[0] + mails[1]).find(point.name() + " on storm"), std::string::npos)
                << point.name();
        }
    }
}

void sentWhenTheMailServerIsBack(Room& room)
{
    NotifySettings s = settings({"outage@example.org"}, 1);
    s.sendmail = room.sink.sendmail();
    room.sink.setReachable(false);
    Station station(room, "outage", s);
    station.water[0] = true;
    const bool tried = station.runUntil([&] { return room.outbox("outage", "attempts >= 3") == 1; }, 10s);
    room.sink.setReachable(true);
    ASSERT_TRUE(tried);
    ASSERT_TRUE(station.runUntil([&] { return room.mailsTo("outage@example.org").size() == 1; }, 5s));
    std::lock_guard<std::mutex> lock(station.logMutex);
    EXPECT_GE(station.log.size(), 1u);
    EXPECT_LE(station.log.size(), 3u);
}

// The recorder that was the service is gone (a kill with the mail due, or
// a standby taking over after it mailed); the next one's engine saw the
// alarm raised at its own time. A minute on, nothing is held back by the
// gap: a second mail would go now.
void theNextServiceTellsNothingTwice(Room& room)
{
    struct Case {
        const char* instrument;
        bool firstMails; // or the mail server is away until the first is gone
    };
    for (const Case c : {Case{"takeover", true}, Case{"restart", false}}) {
        SCOPED_TRACE(c.instrument);
        const std::string address = std::string(c.instrument) + "@example.org";
        NotifySettings s = settings({address}, 1);
        s.sendmail = room.sink.sendmail();
        room.sink.setReachable(c.firstMails);
        auto first = std::make_unique<Station>(room, c.instrument, s);
        Station next(room, c.instrument, s, false);
        first->water[0] = next.water[0] = true;
        // A standby runs its engine beside the service's (this one saw the
        // reading first); a recorder killed and started again raises later.
        if (c.firstMails)
            next.runFor(300ms);
        const bool kept = first->runUntil(
            [&] {
                if (c.firstMails)
                    next.step();
                return room.outbox(c.instrument, c.firstMails ? "sent_ms IS NOT NULL" : "attempts >= 1") == 1;
            },
            8s);
        room.sink.setReachable(true);
        ASSERT_TRUE(kept);
        first.reset();
        next.service.serviceActive(true);
        ASSERT_TRUE(next.runUntil([&] { return room.mailsTo(address).size() == 1; }, 5s));
        next.aheadMs += 60'000;
        next.runFor(2s);
        EXPECT_EQ(room.mailsTo(address).size(), 1u);
    }
}

TEST(NotificationService, TellsThePersonOnCallAsTheAlarmsGo)
{
    if (!PostgresCluster::installed())
        GTEST_SKIP() << PostgresCluster::missing();
    Room room;
    const std::pair<const char*, void (*)(Room&)> cases[] = {
        {"a mail within the delay + 5 s, the webhook called", mailedWithinTheDelayAndTheWebhookCalled},
        {"none when acknowledged in time", noneWhenAcknowledgedInTime},
        {"escalated to the second line", escalatedToTheSecondLine},
        {"all clear", allClearOnceClearedAndAcknowledged},
        {"a storm", aStormIsOneMailPerAddressPerMinuteNamingEveryAlarm},
        {"the mail server away, then back", sentWhenTheMailServerIsBack},
        {"the next service", theNextServiceTellsNothingTwice},
    };
    for (const auto& [name, run] : cases) {
        SCOPED_TRACE(name);
        run(room);
    }
}

// The commissioning check: the sender's status, with the mail server up and
// away, and a webhook that does not answer.
TEST(NotificationService, TestNotifyEndsWithTheSendersStatus)
{
    TempDir dir;
    MailSink sink(dir.path());
    WebhookSink hook(dir.file("hook"));
    sink.start();
    hook.start();
    struct Case {
        bool reachable;
        std::string webhook;
        bool ok;
    };
    const Case cases[] = {
        {true, hook.url(), true},
        {false, hook.url(), false},
        {true, "http://127.0.0.1:1/kov", false},
    };
    for (const Case& c : cases) {
        sink.setReachable(c.reachable);
        const std::size_t mails = sink.mails().size(), calls = hook.bodies().size();
        ChildProcess recorder(KOV_RECORDER_PATH,
            {"--test-notify", "--notify", "oncall@example.org", "--sendmail", sink.sendmail(), "--webhook",
                c.webhook, "--instrument", "T"});
        const auto status = recorder.waitForExit(30s);
        ASSERT_TRUE(status);
        EXPECT_EQ(*status == 0, c.ok) << *status << recorder.text(ChildProcess::Stream::Error);
        EXPECT_EQ(sink.mails().size(), mails + (c.reachable ? 1 : 0));
        EXPECT_EQ(hook.bodies().size(), calls + (c.webhook == hook.url() ? 1 : 0));
    }
    EXPECT_NE(sink.mails()[0].find("Subject: KOV T: test of the on-call notification"), std::string::npos);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
