// kovrecorder telling the person on call, against a private PostgreSQL
// cluster, kovsim and a local mail server reached through msmtp: two
// recorders of one instrument, the service killed, a recorder killed with
// its mail due and started again. The outbox's rows show what a recorder
// would send after the minute that keeps a second mail back.
#include "file_text.h"
#include "mail_sink.h"
#include "recorder_archive_test.h"

#include <gtest/gtest.h>

#include <csignal>

namespace {

using namespace std::chrono_literals;

class RecorderNotify : public RecorderArchive {
protected:
    void SetUp() override
    {
        RecorderArchive::SetUp();
        if (IsSkipped())
            return;
        FileText::write(config_.file("kov.cfg"), "KOV-E1-TEMP_ALARM_SETPOINTS 24.00,32.00\n");
        sink_.start();
    }

    std::unique_ptr<ChildProcess> notifying(
        const std::string& instrument, const std::string& address, const TempDir* state = nullptr)
    {
        return recorder(db_->url(),
            {"--config", config_.file("kov.cfg"), "--instrument", instrument, "--notify", address,
                "--notify-after", "1", "--sendmail", sink_.sendmail()},
            state);
    }
    static bool becomesService(ChildProcess& rec, const std::string& instrument)
    {
        return rec
            .waitForLine(ChildProcess::Stream::Error, "the alarm service of instrument " + instrument, 15s)
            .has_value();
    }
    std::size_t mailsTo(const std::string& address) const
    {
        std::size_t n = 0;
        for (const std::string& mail : sink_.mails())
            n += mail.find("To: " + address + "\n") != std::string::npos;
        return n;
    }
    // The temperature's notification, where `condition` holds.
    static std::string kept(const std::string& instrument, const std::string& condition)
    {
        return "SELECT count(*) FROM notification_outbox WHERE instrument = '" + instrument +
            "' AND point_key = 'electronics.temperature' AND " + condition;
    }
    // Notifications of a point beyond its first.
    static std::string twice(const std::string& instrument)
    {
        return "SELECT count(*) - count(DISTINCT point_key) FROM notification_outbox WHERE instrument = '" +
            instrument + "'";
    }

    TempDir config_, mail_;
    MailSink sink_{mail_.path()};
};

// Each alarm is kept once in the outbox, whichever recorder's engine saw it
// raised (the link's, lost until kovsim is up, may come too), and goes out
// in one mail.
TEST_F(RecorderNotify, OneMailWhateverHappensToTheRecorders)
{
    // Two recorders of one instrument; then the service is killed, with the
    // temperature's notification kept back by the minute after the first
    // mail, and the standby takes over the alarm its own engine raised.
    const TempDir otherState, restartState;
    auto service = notifying("PAIR", "pair@example.org");
    ASSERT_TRUE(becomesService(*service, "PAIR")) << service->text(ChildProcess::Stream::Error);
    auto standby = notifying("PAIR", "pair@example.org", &otherState);
    ASSERT_TRUE(standby->waitForLine(ChildProcess::Stream::Error, "standby for instrument PAIR", 15s));
    startSimulator({"--scenario", "none"}, 2);
    sim_->send("push reading 0 35 40 0");
    ASSERT_EQ(answer(kept("PAIR", "true"), "1"), "1");
    ::kill(service->pid(), SIGKILL);
    ASSERT_TRUE(becomesService(*standby, "PAIR")) << standby->text(ChildProcess::Stream::Error);
    std::this_thread::sleep_for(3s);
    EXPECT_EQ(db_->query(twice("PAIR")), "0");
    EXPECT_LE(mailsTo("pair@example.org"), 1u);

    // Killed with its mail due (the mail server away), then started again.
    sink_.setReachable(false);
    auto killed = notifying("RESTART", "restart@example.org", &restartState);
    ASSERT_TRUE(becomesService(*killed, "RESTART")) << killed->text(ChildProcess::Stream::Error);
    ASSERT_TRUE(sim_->waitForLine("^subscribe .* subscribers=", 15s));
    sim_->send("push reading 0 36 40 0");
    ASSERT_EQ(answer(kept("RESTART", "attempts >= 1"), "1"), "1")
        << killed->text(ChildProcess::Stream::Error);
    ::kill(killed->pid(), SIGKILL);
    killed->waitForExit(5s);
    sink_.setReachable(true);
    auto again = notifying("RESTART", "restart@example.org", &restartState);
    ASSERT_TRUE(becomesService(*again, "RESTART")) << again->text(ChildProcess::Stream::Error);
    ASSERT_TRUE(sim_->waitForLine("^subscribe .* subscribers=", 15s));
    sim_->send("push reading 0 36 40 0");
    ASSERT_EQ(answer(kept("RESTART", "sent_ms IS NOT NULL"), "1", 15s), "1");
    std::this_thread::sleep_for(3s);
    EXPECT_EQ(db_->query(twice("RESTART")), "0");
    EXPECT_EQ(mailsTo("restart@example.org"), 1u);
}

} // namespace
