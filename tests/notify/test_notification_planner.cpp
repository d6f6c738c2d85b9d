#include "alarm_engine.h"
#include "alarm_setpoints.h"
#include "notification_planner.h"
#include "notification_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Stage = Notification::Stage;
constexpr std::int64_t t0 = 1'700'000'000'000;

// The engine of one instrument, its clock in the test's hands, and what the
// planner passes on.
struct Planning {
    std::int64_t steady = 0;
    AlarmEngine engine{
        AlarmSettings{}, "kovrecorder", {[this] { return steady; }, [this] { return t0 + steady; }}};
    NotifySettings settings{{"oncall@example.org"}, {"boss@example.org"}, 120, 600, "/usr/sbin/sendmail",
        "https://hooks.example.org/kov"};
    std::vector<Notification> due;
    std::vector<std::string> cancelled;
    NotificationPlanner planner{settings, "KOV", "kovalarms --archive postgresql://kovoperator@db/kov ack",
        [this](const Notification& n) { due.push_back(n); },
        [this](const std::string& key) { cancelled.push_back(key); }};
    AlarmSetpoints limits;

    Planning()
    {
        engine.setListener({[this](const AlarmRecord& r) { planner.recorded(r); }, nullptr, nullptr});
    }
    // Each second up to `seconds`, a reading (water as given) and a tick.
    void runTo(int seconds, bool water)
    {
        for (; steady <= seconds * 1000; steady += 1000) {
            engine.reading(0, 20, 40, water, limits);
            engine.reading(1, 20, 40, false, limits);
            engine.tick();
            planner.tick(engine, t0 + steady);
        }
    }
    std::vector<Stage> stages() const
    {
        std::vector<Stage> s;
        for (const Notification& n : due)
            s.push_back(n.stage);
        return s;
    }
};

TEST(NotificationPlanner, TheDelayThenTheSecondLineAndNothingTwice)
{
    Planning p;
    p.runTo(119, true);
    EXPECT_TRUE(p.due.empty());
    p.runTo(120, true);
    ASSERT_EQ(p.stages(), std::vector<Stage>{Stage::First});
    const Notification& first = p.due[0];
    EXPECT_EQ(
        first.recipients, (std::vector<std::string>{"oncall@example.org", "https://hooks.example.org/kov"}));
    EXPECT_EQ(first.dueMs, t0 + 120'000);
    EXPECT_EQ(first.subject, "KOV KOV: Electronics housing water sensor unacknowledged");
    for (const char* part : {"Housing:   Electronics housing", "Raised:    2023-11-14 22:13:20 UTC",
             "Unacknowledged for 2 min 0 s",
             "kovalarms --archive postgresql://kovoperator@db/kov ack electronics.water",
             "No other alarm is active now."})
        EXPECT_NE(first.text.find(part), std::string::npos) << part << " in\n" << first.text;
    EXPECT_NE(first.json.find("\"point\":\"electronics.water\""), std::string::npos) << first.json;

    p.runTo(719, true);
    EXPECT_EQ(p.due.size(), 1u);
    p.runTo(800, true);
    ASSERT_EQ(p.stages(), (std::vector<Stage>{Stage::First, Stage::Escalation}));
    EXPECT_EQ(p.due[1].recipients, std::vector<std::string>{"boss@example.org"});
    EXPECT_EQ(p.due[1].text.rfind("ESCALATED", 0), 0u);
}

TEST(NotificationPlanner, AcknowledgedOrShelvedInTimeTellsNobodyAndAfterTheMailStopsTheEscalation)
{
    struct Case {
        const char* name;
        int actAt;
        bool shelve;
        std::vector<Stage> stages;
    };
    const Case cases[] = {
        {"acknowledged within the delay", 100, false, {}},
        {"shelved within the delay", 10, true, {}},
        {"acknowledged after the mail", 200, false, {Stage::First, Stage::AllClear}},
    };
    for (const Case& c : cases) {
        Planning p;
        p.runTo(c.actAt, true);
        const AlarmPoint water{AlarmPoint::Kind::Water, 0};
        if (c.shelve)
            p.engine.shelve(water, 3'600'000, "operator", "");
        else
            p.engine.acknowledge(water, "operator");
        p.runTo(1000, false);
        EXPECT_EQ(p.stages(), c.stages) << c.name;
        EXPECT_EQ(p.cancelled, std::vector<std::string>{"electronics.water"}) << c.name;
    }
}

TEST(NotificationPlanner, AllClearOnceEveryAlarmToldOfHasClearedAndBeenAcknowledged)
{
    Planning p;
    p.runTo(130, true); // told at 120
    p.runTo(140, false);
    EXPECT_EQ(p.due.size(), 1u); // cleared, not acknowledged yet
    p.engine.acknowledgeAll("jsmith");
    p.runTo(141, false);
    ASSERT_EQ(p.stages(), (std::vector<Stage>{Stage::First, Stage::AllClear}));
    const Notification& clear = p.due[1];
    EXPECT_EQ(clear.subject, "KOV KOV: all clear");
    EXPECT_NE(clear.text.find(
                  "Electronics housing water sensor: acknowledged by jsmith at 2023-11-14 22:15:41 UTC"),
        std::string::npos)
        << clear.text;
    EXPECT_EQ(
        clear.recipients, (std::vector<std::string>{"oncall@example.org", "https://hooks.example.org/kov"}));
    p.runTo(200, false);
    EXPECT_EQ(p.due.size(), 2u);
}

TEST(NotificationText, SeveralInOneMailAndHeadersThatCannotBeForged)
{
    Notification a, b;
    a.summary = "Electronics housing water sensor";
    a.text = "first\n";
    b.summary = "Spectrometer housing temperature over limit 33.50 °C";
    b.text = "second\n";
    const NotificationText::Mail mail = NotificationText::compose("KOV", {a, b});
    EXPECT_EQ(mail.subject,
        "KOV KOV: 2 new alarms: Electronics housing water sensor; Spectrometer housing temperature over "
        "limit "
        "33.50 °C");
    EXPECT_NE(mail.body.find("first\n\n----\n\nsecond"), std::string::npos);

    const std::string message =
        NotificationText::message("oncall@example.org", {"°C\nBcc: evil@example.org", "body"}, t0);
    EXPECT_EQ(message.find("\nBcc:"), std::string::npos) << message;
    EXPECT_NE(message.find("Subject: =?UTF-8?B?"), std::string::npos);
    EXPECT_NE(message.find("Content-Type: text/plain; charset=UTF-8"), std::string::npos);
    EXPECT_EQ(NotificationText::json("a\"b\\\n\x01"), "\"a\\\"b\\\\\\n\\u0001\"");

    std::string error;
    EXPECT_FALSE(NotifySettings::addresses("ok@example.org,evil@example.org\nBcc: x@y", error));
    EXPECT_FALSE(NotifySettings::addresses("", error));
    EXPECT_EQ(NotifySettings::addresses(" a@b.org , c@d.org", error).value(),
        (std::vector<std::string>{"a@b.org", "c@d.org"}));
}

} // namespace
