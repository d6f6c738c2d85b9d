// kovrecorder as the control room's alarm service, against a private
// PostgreSQL cluster and kovsim, with no console running: what it raises,
// what it does with a queued action, a standby taking over, and its
// configuration file read again.
#include "file_text.h"
#include "recorder_archive_test.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>

namespace {

using namespace std::chrono_literals;

constexpr const char* limits = "KOV-E1-TEMP_ALARM_SETPOINTS 24.00,32.00\n"
                               "KOV-E1-RH_ALARM_SETPOINTS 35.00,60.00\n"
                               "KOV-S1-TEMP_ALARM_SETPOINTS 24.00,32.00\n"
                               "KOV-S1-RH_ALARM_SETPOINTS 35.00,60.00\n";

const std::string temperature =
    "SELECT state || '|' || acknowledged || '|' || acted_by || '|' || comment FROM alarm_state "
    "WHERE point_key = 'electronics.temperature'";

class AlarmService : public RecorderArchive {
protected:
    void SetUp() override
    {
        RecorderArchive::SetUp();
        if (IsSkipped())
            return;
        FileText::write(configPath(), limits);
    }

    std::string configPath() const { return config_.file("kov.cfg"); }

    std::unique_ptr<ChildProcess> service(const TempDir* state = nullptr)
    {
        return recorder(db_->url(), {"--config", configPath()}, state);
    }

    static bool becomesService(ChildProcess& rec, std::chrono::milliseconds limit = 15s)
    {
        return rec.waitForLine(ChildProcess::Stream::Error, "the alarm service of instrument KOV", limit)
            .has_value();
    }

    // Until the electronics temperature is raised and in the archive.
    void raised(ChildProcess& rec)
    {
        ASSERT_TRUE(becomesService(rec)) << rec.text(ChildProcess::Stream::Error);
        sim_->send("push reading 0 35 40 0");
        ASSERT_EQ(answer(temperature, "unacknowledged|false||"), "unacknowledged|false||");
    }

    TempDir config_;
};

TEST_F(AlarmService, AnOverLimitReadingIsRaisedInTheArchiveWithNoConsole)
{
    auto rec = service();
    startSimulator({"--scenario", "none"}, 1);
    ASSERT_NO_FATAL_FAILURE(raised(*rec));
    EXPECT_EQ(db_->query("SELECT level || ' ' || active || ' ' || value || ' ' || setpoint FROM alarm_state "
                         "WHERE point_key = 'electronics.temperature'"),
        "2 true 35 32");
    EXPECT_EQ(answer("SELECT string_agg(instrument || ' ' || point || ' ' || value || ' ' || setpoint, ',') "
                     "FROM alarm_records WHERE action = 0 AND point_key = 'electronics.temperature'",
                  "KOV Electronics housing temperature over limit 35 32"),
        "KOV Electronics housing temperature over limit 35 32");
    // Every point has its row, and the service its heartbeat.
    EXPECT_EQ(db_->query("SELECT count(*) FROM alarm_state WHERE instrument = 'KOV'"), "11");
    EXPECT_NE(db_->query("SELECT service FROM alarm_service WHERE instrument = 'KOV'")
                  .find("process " + std::to_string(rec->pid())),
        std::string::npos);
}

// Each action as a console or kovalarms queues it: its outcome, and the
// point's state and who acted as the consoles then read them.
TEST_F(AlarmService, QueuedActionsAreAppliedInOrderWithTheirUser)
{
    auto rec = service();
    startSimulator({"--scenario", "none"}, 1);
    ASSERT_NO_FATAL_FAILURE(raised(*rec));
    struct Case {
        const char* action;
        int minutes;
        const char* outcome;
        const char* state;
    };
    const Case cases[] = {
        {"unshelve", 0, "not shelved", "unacknowledged|false||"},
        {"ack", 0, "done", "acknowledged|true|kov|seen"},
        {"ack", 0, "nothing to acknowledge", "acknowledged|true|kov|seen"},
        {"shelve", 30, "done", "shelved|true|kov|seen"},
        {"unshelve", 0, "done", "unacknowledged|false|kov|seen"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.action);
        const std::string id =
            db_->query(std::string("SELECT kov_alarm_action('KOV', 'electronics.temperature', '") + c.action +
                "', " + std::to_string(c.minutes) + ", 'seen')");
        EXPECT_EQ(
            answer("SELECT outcome FROM alarm_actions WHERE done_ms IS NOT NULL AND id = " + id, c.outcome),
            c.outcome);
        EXPECT_EQ(answer(temperature, c.state), c.state);
    }
    EXPECT_EQ(db_->query("SELECT string_agg(action || ':' || user_name, ',' ORDER BY time_ms, seq) FROM "
                         "alarm_records WHERE point_key = 'electronics.temperature' AND action > 0"),
        "2:kov,3:kov,4:kov");
}

TEST_F(AlarmService, AStandbyTakesOverKeepingTheAcknowledgement)
{
    const TempDir otherState;
    auto first = service();
    ASSERT_TRUE(becomesService(*first)) << first->text(ChildProcess::Stream::Error);
    auto second = service(&otherState);
    ASSERT_TRUE(second->waitForLine(ChildProcess::Stream::Error,
        "standby for instrument KOV: the service is "
        "kovrecorder on .*process " +
            std::to_string(first->pid()),
        15s))
        << second->text(ChildProcess::Stream::Error);
    startSimulator({"--scenario", "none"}, 2);
    sim_->send("push reading 0 35 40 0");
    ASSERT_EQ(answer(temperature, "unacknowledged|false||"), "unacknowledged|false||");
    db_->query("SELECT kov_alarm_action('KOV', 'electronics.temperature', 'ack', 0, 'on it')");
    ASSERT_EQ(answer(temperature, "acknowledged|true|kov|on it"), "acknowledged|true|kov|on it");

    ::kill(first->pid(), SIGKILL);
    ASSERT_TRUE(becomesService(*second, 15s)) << second->text(ChildProcess::Stream::Error);
    EXPECT_EQ(answer(temperature, "acknowledged|true|kov|on it", 2s), "acknowledged|true|kov|on it");
    EXPECT_NE(
        db_->query("SELECT service FROM alarm_service").find("process " + std::to_string(second->pid())),
        std::string::npos);
    // The standby saw the raise too, but only the service wrote it.
    EXPECT_EQ(db_->query("SELECT count(*) FROM alarm_records WHERE action = 0 AND point_key = "
                         "'electronics.temperature'"),
        "1");
}

// The file changed: in place and read on SIGHUP, replaced by a rename (as
// editors save) and seen by the watch, and spoiled (kept out).
TEST_F(AlarmService, ChangedSetpointsAreRecordedAndJudgedBy)
{
    auto rec = service();
    startSimulator({"--scenario", "none"}, 1);
    ASSERT_TRUE(becomesService(*rec)) << rec->text(ChildProcess::Stream::Error);
    const std::string overTemp =
        "SELECT string_agg(old_value || '>' || new_value, ',' ORDER BY time_ms, seq) "
        "FROM setpoint_changes WHERE instrument = 'KOV' AND housing = 0 AND setpoint = 1";
    EXPECT_EQ(answer(overTemp, "32>32"), "32>32");
    EXPECT_EQ(db_->query("SELECT count(*) FROM setpoint_changes"), "8");
    sim_->send("push reading 0 30 40 0");
    ASSERT_EQ(answer(temperature, "normal|true||"), "normal|true||");

    std::string text = limits;
    FileText::write(configPath(), text.replace(text.find("24.00,32.00"), 11, "24.00,29.00"));
    ::kill(rec->pid(), SIGHUP);
    EXPECT_EQ(answer(overTemp, "32>32,32>29"), "32>32,32>29");
    EXPECT_TRUE(rec->waitForLine(ChildProcess::Stream::Error, "again \\(SIGHUP\\)", 5s));
    sim_->send("push reading 0 30 40 0");
    EXPECT_EQ(answer(temperature, "unacknowledged|false||"), "unacknowledged|false||");
    EXPECT_EQ(db_->query("SELECT setpoint FROM alarm_records WHERE action = 0"), "29");

    const std::string replacement = config_.file("kov.cfg.new");
    FileText::write(replacement, text.replace(text.find("24.00,29.00"), 11, "24.00,31.00"));
    ASSERT_EQ(std::rename(replacement.c_str(), configPath().c_str()), 0);
    EXPECT_EQ(answer(overTemp, "32>32,32>29,29>31"), "32>32,32>29,29>31");

    FileText::write(configPath(), "KOV-E1-TEMP_ALARM_SETPOINTS 24.00,none\n");
    EXPECT_TRUE(
        rec->waitForLine(ChildProcess::Stream::Error, "must hold two numbers.*settings in force stay", 5s));
    EXPECT_EQ(db_->query(overTemp), "32>32,32>29,29>31");
}

} // namespace
