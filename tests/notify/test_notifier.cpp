#include "mail_sink.h"
#include "notification_outbox.h"
#include "notifier.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <chrono>
#include <fstream>
#include <thread>

using namespace std::chrono_literals;

namespace {

// A notifier on a SQLite archive sending through msmtp into a local sink.
struct Sending {
    TempDir dir;
    MailSink sink{dir.path()};
    std::vector<std::string> log;
    std::mutex logMutex;

    Notifier::Options options()
    {
        std::string error;
        Notifier::Options o;
        o.address = *History::ArchiveAddress::parse("sqlite:" + dir.file("archive.db"), error);
        o.instrument = "KOV";
        o.settings.notify = {"oncall@example.org"};
        o.settings.sendmail = sink.sendmail();
        o.log = [this](const std::string& line) {
            std::lock_guard<std::mutex> lock(logMutex);
            log.push_back(line);
        };
        o.retryLongestSeconds = 2;
        return o;
    }
};

Notification alarm(const std::string& key, std::int64_t dueMs)
{
    Notification n;
    n.pointKey = key;
    n.raisedMs = dueMs - 120'000;
    n.dueMs = dueMs;
    n.recipients = {"oncall@example.org"};
    n.subject = "KOV KOV: " + key + " unacknowledged";
    n.summary = key;
    n.text = "Point " + key + "\n";
    n.json = "{}";
    return n;
}

std::int64_t nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

TEST(Notifier, KeptThenSentOnceAndACancelledOneNever)
{
    Sending s;
    s.sink.start();
    Notifier notifier(s.options());
    notifier.setActive(true);
    notifier.start();
    notifier.due(alarm("electronics.water", nowMs()));
    notifier.due(alarm("spectrometer.water", nowMs() + 1500));
    notifier.cancelled("spectrometer.water");
    ASSERT_TRUE(s.sink.waitFor(1, 10s));
    std::this_thread::sleep_for(2500ms);
    const std::vector<std::string> mails = s.sink.mails();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_NE(mails[0].find("To: oncall@example.org"), std::string::npos) << mails[0];
    EXPECT_NE(mails[0].find("Subject: KOV KOV: electronics.water unacknowledged"), std::string::npos)
        << mails[0];
    EXPECT_EQ(notifier.sent(), 1);
}

TEST(Notifier, AStormIsOneMailThatNamesEveryAlarm)
{
    Sending s;
    s.sink.start();
    Notifier notifier(s.options());
    for (int i = 0; i < 50; ++i)
        notifier.due(alarm("point" + std::to_string(i), nowMs()));
    notifier.setActive(true);
    notifier.start();
    ASSERT_TRUE(s.sink.waitFor(1, 10s));
    notifier.due(alarm("point50", nowMs())); // within the minute: waits for the next mail
    std::this_thread::sleep_for(2s);
    const std::vector<std::string> mails = s.sink.mails();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_NE(mails[0].find("50 new alarms"), std::string::npos);
    for (int i = 0; i < 50; ++i)
        EXPECT_NE(mails[0].find("Point point" + std::to_string(i) + "\n"), std::string::npos) << i;
}

TEST(Notifier, WhatOneRecorderKeptAnotherSendsOnceEvenWhenPassedAgain)
{
    Sending s;
    s.sink.start();
    const Notification due = alarm("link", nowMs());
    {
        Notifier standby(s.options()); // never active: keeps, does not send
        standby.start();
        standby.due(due);
        std::this_thread::sleep_for(1500ms);
    }
    EXPECT_TRUE(s.sink.mails().empty());
    Notifier service(s.options());
    service.setActive(true);
    service.start();
    ASSERT_TRUE(s.sink.waitFor(1, 10s));
    service.due(due); // the planner of a restarted recorder passes it again
    std::this_thread::sleep_for(2s);
    EXPECT_EQ(s.sink.mails().size(), 1u);
}

TEST(Notifier, ASenderThatFailsIsTriedAgainAndSaidThreeTimesAtMost)
{
    Sending s;
    s.sink.start();
    s.sink.setReachable(false); // the server has gone away
    Notifier notifier(s.options());
    notifier.setActive(true);
    notifier.start();
    notifier.due(alarm("electronics.temperature", nowMs()));
    std::this_thread::sleep_for(4s);
    EXPECT_TRUE(s.sink.mails().empty());
    s.sink.setReachable(true);
    ASSERT_TRUE(s.sink.waitFor(1, 10s));
    std::lock_guard<std::mutex> lock(s.logMutex);
    EXPECT_GE(s.log.size(), 1u);
    EXPECT_LE(s.log.size(), 3u);
    EXPECT_NE(s.log.front().find("notification: mail: "), std::string::npos) << s.log.front();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
