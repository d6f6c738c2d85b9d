// kovrecorder against a private PostgreSQL cluster and kovsim: what it
// writes, what survives an outage of the database or a stop during one,
// what it refuses and what the archive refuses.
#include "archive_store.h"
#include "child_process.h"
#include "file_text.h"
#include "history_schema.h"
#include "history_source_factory.h"
#include "history_v1.h"
#include "naming_service_process.h"
#include "postgres_cluster.h"
#include "postgres_history_source.h"
#include "record_keys.h"
#include "recorder_archive_test.h"
#include "simulator_process.h"
#include "sqlite_file.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <QDateTime>

#include <atomic>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <memory>
#include <regex>
#include <stdexcept>
#include <thread>

namespace {

using namespace std::chrono_literals;
constexpr std::int64_t always = std::numeric_limits<std::int64_t>::max();

// VmHWM of a process in kB; -1 if it cannot be read.
long peakResidentKb(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

TEST_F(RecorderArchive, FillsTheArchiveTheTrendsRead)
{
    auto rec = recorder(db_->url());
    startSimulator({"--scenario", "none"}, 1);
    for (const char* push : {"push reading 0 21.5 40 0", "push reading 0 nan 41 1",
             "push reading s 4.9e-324 1e308 0", "push message alarm Water in the spectrograph housing"})
        sim_->send(push);
    ASSERT_EQ(rowsOnceSettled("readings", 3, 10s), 3);
    EXPECT_EQ(rec->terminate(10s), 0);

    std::string error;
    History::PostgresHistorySource source(*History::ArchiveAddress::parse(db_->url(), error), "KOV");
    const auto electronics = source.readings(0, 0, always);
    ASSERT_EQ(electronics.size(), 2u) << source.lastError();
    EXPECT_DOUBLE_EQ(electronics[0].temperature, 21.5);
    EXPECT_TRUE(std::isnan(electronics[1].temperature));
    EXPECT_TRUE(electronics[1].water);
    // Extreme values the sensors may send go in as numbers, not as a failed batch.
    const auto spectrograph = source.readings(1, 0, always);
    ASSERT_EQ(spectrograph.size(), 1u);
    EXPECT_EQ(spectrograph[0].temperature, 4.9e-324);
    EXPECT_EQ(spectrograph[0].humidity, 1e308);
    EXPECT_FALSE(source.rollups(0, 0, always).empty());
    const auto messages = source.messages(0, always);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Water in the spectrograph housing");
    const auto links = source.linkChanges(0, always);
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(links[1].reason, "the recorder stopped");
}

TEST_F(RecorderArchive, TwentySecondsWithoutTheDatabaseLoseAndRepeatNothing)
{
    auto rec = recorder(db_->url());
    startSimulator({"--scenario", "none"}, 1);
    const auto start = std::chrono::steady_clock::now();
    bool stopped = false, restarted = false;
    for (int i = 0; std::chrono::steady_clock::now() - start < 28s; ++i) {
        sim_->send("push reading " + std::to_string(i % 2) + " " + std::to_string(i) + " 40 0");
        std::this_thread::sleep_for(25ms);
        if (!stopped && std::chrono::steady_clock::now() - start > 3s) {
            db_->stop();
            stopped = true;
        }
        if (!restarted && std::chrono::steady_clock::now() - start > 23s) {
            db_->start();
            restarted = true;
        }
    }
    const long pushed = static_cast<long>(pushedReadings(1));
    EXPECT_EQ(rowsOnceSettled("readings", pushed, 70s), pushed);
    EXPECT_EQ(db_->query("SELECT count(DISTINCT temperature) FROM readings"), std::to_string(pushed));
    EXPECT_EQ(rec->terminate(10s), 0);
    EXPECT_NE(rec->text(ChildProcess::Stream::Error).find("writing to archive"), std::string::npos);
}

TEST_F(RecorderArchive, RefusalsEndWithTheirStatus)
{
    db_->query("CREATE DATABASE newer");
    struct Case {
        std::string database, password;
        int status;
        std::string says;
    };
    const Case cases[] = {
        {"kov", "wrong-secret", 3, "refused the role or its password"},
        {"nosuch", db_->password(), 4, "the database does not exist"},
        {"newer", db_->password(), 2, "newer recorder"},
    };
    // A later program's schema in "newer".
    auto older = recorder(db_->url("newer"));
    ASSERT_TRUE(older->waitForLine(ChildProcess::Stream::Error, "recording into", 15s));
    older->terminate();
    std::system(("PGPASSWORD=" + db_->password() + " /usr/lib/postgresql/15/bin/psql -X -q -h 127.0.0.1 -p " +
        std::to_string(db_->port()) + " -U kov -d newer -c 'INSERT INTO schema_version VALUES (99)'")
                    .c_str());
    for (const Case& c : cases) {
        ::setenv("PGPASSWORD", c.password.c_str(), 1);
        auto rec = recorder(db_->url(c.database));
        EXPECT_EQ(rec->waitForExit(20s), c.status) << c.database;
        const std::string said = rec->text(ChildProcess::Stream::Error);
        EXPECT_NE(said.find(c.says), std::string::npos) << said;
        EXPECT_EQ(said.find(c.password), std::string::npos) << "the password was logged";
    }
}

TEST_F(RecorderArchive, TwoRecordersOnOneArchiveWriteEachRowOnce)
{
    const TempDir otherState;
    auto first = recorder(db_->url());
    auto second = recorder(db_->url(), {}, &otherState);
    startSimulator({"--scenario", "none"}, 2);
    for (int i = 0; i < 300; ++i)
        sim_->send("push reading " + std::to_string(i % 2) + " " + std::to_string(i) + " 40 0");
    sim_->send("push message warning Humidity rising");
    EXPECT_EQ(rowsOnceSettled("readings", 300, 20s), 300);
    EXPECT_EQ(db_->query("SELECT count(DISTINCT temperature) FROM readings"), "300");
    EXPECT_EQ(rowsOnceSettled("messages", 1, 5s), 1);
}

// kovsim hands both the same events: the same keys, told apart by the
// instrument alone.
TEST_F(RecorderArchive, TwoInstrumentsWithTheSameTimesKeepEveryRow)
{
    const TempDir otherState;
    auto first = recorder(db_->url(), {"--instrument", "A"});
    auto second = recorder(db_->url(), {"--instrument", "B"}, &otherState);
    startSimulator({"--scenario", "none"}, 2);
    for (int i = 0; i < 200; ++i)
        sim_->send("push reading " + std::to_string(i % 2) + " " + std::to_string(i) + " 40 0");
    sim_->send("push message warning Humidity rising");
    EXPECT_EQ(rowsOnceSettled("readings", 400, 20s), 400);
    EXPECT_EQ(rowsOnceSettled("messages", 2, 5s), 2);
    EXPECT_EQ(
        db_->query("SELECT string_agg(instrument || ':' || n || ':' || d, ',' ORDER BY instrument) FROM "
                   "(SELECT instrument, count(*) AS n, count(DISTINCT temperature) AS d FROM readings "
                   "GROUP BY instrument) AS r"),
        "A:200:200,B:200:200");
    EXPECT_EQ(db_->query("SELECT count(DISTINCT (housing, arrival_ms, seq)) FROM readings"), "200");
    std::string error;
    const auto address = *History::ArchiveAddress::parse(db_->url(), error);
    for (const char* instrument : {"A", "B"}) {
        History::PostgresHistorySource source(address, instrument);
        EXPECT_EQ(source.readings(0, 0, always).size(), 100u) << instrument << source.lastError();
        EXPECT_EQ(source.messages(0, always).size(), 1u) << instrument;
    }
}

TEST_F(RecorderArchive, ADroppedLinkIsRecordedAndHealsItself)
{
    auto rec = recorder(db_->url());
    startSimulator({"--scenario", "none"}, 1);
    sim_->send("drop maintenance");
    ASSERT_TRUE(sim_->waitForLine("^subscribe .* subscribers=1", 15s)) << "no new subscription";
    sim_->send("push reading 0 22 40 0");
    EXPECT_EQ(rowsOnceSettled("readings", 1, 10s), 1);
    EXPECT_EQ(db_->query("SELECT string_agg(kind || ':' || reason, ',' ORDER BY time_ms) FROM link_changes"),
        "0:,1:the event channel dropped the recorder,2:");
}

// A constraint a person added stands for every refusal that is not a lost
// connection: the rows it refuses are set aside with the reason, the rows
// around them are written, and so is what comes after.
TEST_F(RecorderArchive, ARefusedRowIsSetAsideAndTheRestIsWritten)
{
    auto rec = recorder(db_->url());
    ASSERT_TRUE(rec->waitForLine(ChildProcess::Stream::Error, "recording into", 15s));
    db_->query("ALTER TABLE readings ADD CONSTRAINT sane CHECK (temperature < 1000)");
    db_->query("ALTER TABLE messages ADD CONSTRAINT clean CHECK (message_text NOT LIKE '%poison%')");
    startSimulator({"--scenario", "none"}, 1);
    for (int i = 0; i < 40; ++i)
        sim_->send(
            "push reading " + std::to_string(i % 2) + " " + (i == 17 ? "5000" : std::to_string(i)) + " 40 0");
    for (const char* text : {"Humidity rising", "poison pill", "Water in the spectrograph housing"})
        sim_->send(std::string("push message alarm ") + text);
    EXPECT_EQ(rowsOnceSettled("messages", 2, 15s), 2);
    EXPECT_EQ(rowsOnceSettled("readings", 39, 5s), 39);
    sim_->send("push reading 0 41 40 0");
    EXPECT_EQ(rowsOnceSettled("readings", 40, 10s), 40) << "nothing written after the refusal";

    const std::string refused = FileText::read(state_.file("refused.spool"));
    EXPECT_NE(refused.find("\tpoison pill\t"), std::string::npos) << refused;
    EXPECT_NE(refused.find("\t5000\t40\t0\t"), std::string::npos) << refused;
    EXPECT_NE(refused.find("violates check constraint \"sane\""), std::string::npos) << refused;
    EXPECT_EQ(rec->terminate(10s), 0);
    const std::string said = rec->text(ChildProcess::Stream::Error);
    EXPECT_NE(said.find("writing it row by row"), std::string::npos) << said;
    EXPECT_NE(said.find("2 refused by the archive"), std::string::npos) << said;
}

// SIGTERM while the database is away: what is held waits in the state
// folder, and the next start writes it first. Every row once.
TEST_F(RecorderArchive, AStopDuringAnOutageKeepsTheRowsForTheNextStart)
{
    auto rec = recorder(db_->url());
    startSimulator({"--scenario", "none"}, 1);
    ASSERT_TRUE(rec->waitForLine(ChildProcess::Stream::Error, "recording into", 15s));
    sim_->send("push reading 0 0 40 0");
    ASSERT_EQ(rowsOnceSettled("readings", 1, 10s), 1);
    db_->stop();
    for (int i = 1; i < 300; ++i)
        sim_->send("push reading " + std::to_string(i % 2) + " " + std::to_string(i) + " 40 0");
    sim_->send("push message alarm Water in the spectrograph housing");
    ASSERT_NO_FATAL_FAILURE(delivered());
    EXPECT_EQ(rec->terminate(10s), 0);
    const std::string spool = state_.file("held.spool");
    EXPECT_NE(rec->text(ChildProcess::Stream::Error).find("kept in " + spool), std::string::npos)
        << rec->text(ChildProcess::Stream::Error);
    ASSERT_TRUE(FileText::exists(spool));

    db_->start();
    auto next = recorder(db_->url());
    EXPECT_TRUE(next->waitForLine(ChildProcess::Stream::Error, "kept at the last stop are written$", 20s))
        << next->text(ChildProcess::Stream::Error);
    EXPECT_EQ(rowsOnceSettled("readings", 300, 5s), 300);
    EXPECT_EQ(db_->query("SELECT count(DISTINCT temperature) FROM readings"), "300");
    EXPECT_EQ(db_->query("SELECT count(*) FROM messages"), "1");
    EXPECT_EQ(db_->query("SELECT string_agg(kind || ':' || reason, ',' ORDER BY time_ms) FROM link_changes"),
        "0:,1:the recorder stopped,0:");
    EXPECT_FALSE(FileText::exists(spool));
}

// Texts of 1 MB (the longest kovsim takes) while the archive is away: the
// recorder holds what its byte bound allows, counts the rest, and its
// memory stays near that bound.
TEST_F(RecorderArchive, LongTextsDuringAnOutageStayWithinTheByteBound)
{
    auto rec = recorder(db_->url(), {"--buffer-mb", "8"});
    startSimulator({"--scenario", "none"}, 1);
    ASSERT_TRUE(rec->waitForLine(ChildProcess::Stream::Error, "recording into", 15s));
    db_->stop();
    const long before = peakResidentKb(rec->pid());
    const std::string text(1000000, 'x');
    for (int i = 0; i < 48; ++i)
        sim_->send("push message warning " + std::to_string(i) + text);
    ASSERT_NO_FATAL_FAILURE(delivered());
    const long grown = peakResidentKb(rec->pid()) - before;
    EXPECT_EQ(rec->terminate(10s), 0);
    const std::string said = rec->text(ChildProcess::Stream::Error);
    std::smatch dropped;
    ASSERT_TRUE(std::regex_search(said, dropped, std::regex(", (\\d+) other rows dropped"))) << said;
    EXPECT_GE(std::stoi(dropped[1]), 36) << said;
    // 48 MB offered: the 8 MiB held and a few texts under way.
    EXPECT_LT(grown, 28 * 1024) << "peak resident size grew by " << grown << " kB";
    RecordProperty("peak_growth_kb", std::to_string(grown));
}

TEST_F(RecorderArchive, TheWindowsReadTheArchiveOrElseTheLocalFileSayingSoOnce)
{
    std::vector<std::string> notices;
    const History::HistorySourceFactory factory(db_->url(), "KOV", "/nonexistent/kovhistory.db",
        [&](const std::string& text) { notices.push_back(text); });
    const auto make = factory.function();
    EXPECT_EQ(make()->description(), "archive kov@127.0.0.1:" + std::to_string(db_->port()) + "/kov");
    db_->stop();
    EXPECT_EQ(make()->description(), "local history /nonexistent/kovhistory.db");
    make();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find("cannot be reached"), std::string::npos);
}

// An archive of the first version, in a file and on the server: brought up
// in place by the first recorder to open it, every row kept; a batch
// written twice is stored once.
TEST_F(RecorderArchive, AnOlderArchiveIsBroughtUpToDateInPlace)
{
    TempDir dir;
    for (const bool sqlite : {true, false}) {
        SCOPED_TRACE(sqlite ? "sqlite" : "postgresql");
        const std::string url = sqlite ? "sqlite:" + dir.file("archive.db") : db_->url();
        if (sqlite)
            ASSERT_EQ(runOnSqliteFile(dir.file("archive.db"), historyV1Statements(true)), "");
        else
            for (const std::string& statement : historyV1Statements(false))
                db_->query(statement);

        std::string error;
        const auto address = *History::ArchiveAddress::parse(url, error);
        Recorder::ArchiveStore store(address, "upgrade", "A"), second(address, "second", "A");
        ASSERT_EQ(store.open(), Recorder::ArchiveStore::Outcome::Ok) << store.lastError();
        EXPECT_EQ(store.upgradedFrom(), 1);
        ASSERT_EQ(second.open(), Recorder::ArchiveStore::Outcome::Ok) << second.lastError();
        EXPECT_EQ(second.upgradedFrom(), HistorySchema::version);
        // Two readings of one second, written by both.
        Recorder::RecordKeys keys;
        History::Batch batch;
        for (double temperature : {22.5, 23.5}) {
            History::Reading reading{0, 1700000100, 0, temperature, 40.0, false};
            keys.key(reading, 1700000100000);
            batch.readings.push_back(reading);
        }
        ASSERT_EQ(store.write(batch), Recorder::ArchiveStore::Outcome::Ok) << store.lastError();
        ASSERT_EQ(second.write(batch), Recorder::ArchiveStore::Outcome::Ok) << second.lastError();
        store.close();
        second.close();

        History::PostgresHistorySource source(address, "A");
        const auto electronics = source.readings(0, 0, always);
        ASSERT_EQ(electronics.size(), 4u) << source.lastError();
        EXPECT_EQ(source.readings(1, 0, always).size(), 1u);
        EXPECT_EQ(source.messages(0, always).size(), 1u);
    }
}

// The last archive of one instrument, every table filled, meets its first
// recorder that names one: every row kept, each now the named instrument's,
// and the next instrument starts beside them.
TEST_F(RecorderArchive, AnArchiveOfOneInstrumentBecomesTheFirstNamedOnesInPlace)
{
    const char* tables[] = {
        "readings", "rollups", "messages", "setpoint_changes", "link_changes", "alarm_records"};
    for (const std::string& statement : archiveV3Statements(50))
        db_->query(statement);
    // What the recorders write of their own (the setpoints at their start,
    // their alarms) comes after this.
    const std::int64_t started = QDateTime::currentMSecsSinceEpoch();
    auto rec = recorder(db_->url(), {"--instrument", "A"});
    ASSERT_TRUE(rec->waitForLine(ChildProcess::Stream::Error, "recording into", 15s))
        << rec->text(ChildProcess::Stream::Error);
    EXPECT_EQ(rec->terminate(10s), 0);
    const TempDir otherState;
    auto next = recorder(db_->url(), {"--instrument", "B"}, &otherState);
    ASSERT_TRUE(next->waitForLine(ChildProcess::Stream::Error, "recording into", 15s));
    EXPECT_EQ(next->terminate(10s), 0);

    EXPECT_EQ(db_->query("SELECT max(version) FROM schema_version"), std::to_string(HistorySchema::version));
    for (const char* table : tables) {
        const std::string time = std::string(table) == "readings" ? "arrival_ms"
            : std::string(table) == "messages"                    ? "arrival_ms"
            : std::string(table) == "rollups"                     ? "minute_ms"
                                                                  : "time_ms";
        EXPECT_EQ(
            db_->query(std::string("SELECT string_agg(instrument || ':' || n, ',') FROM (SELECT "
                                   "instrument, count(*) AS n FROM ") +
                table + " WHERE " + time + " < " + std::to_string(started) + " GROUP BY instrument) AS r"),
            "A:50")
            << table;
    }
    std::string error;
    const auto address = *History::ArchiveAddress::parse(db_->url(), error);
    History::PostgresHistorySource a(address, "A"), b(address, "B");
    EXPECT_EQ(a.readings(0, 0, started).size(), 50u) << a.lastError();
    EXPECT_EQ(a.alarmRecords(0, started).size(), 50u) << a.lastError();
    EXPECT_EQ(a.setpointChanges(0, started).size(), 50u) << a.lastError();
    EXPECT_TRUE(b.readings(0, 0, started).empty()) << b.lastError();
    EXPECT_TRUE(b.alarmRecords(0, started).empty()) << b.lastError();
}

// A reader waiting on the server (a trend being read at exit) is ended at
// once from another thread.
TEST_F(RecorderArchive, AReaderWaitingOnTheServerIsInterrupted)
{
    db_->query("CREATE VIEW readings AS SELECT 'KOV'::text AS instrument, 0::smallint AS housing, "
               "0::bigint AS arrival_ms, "
               "0::bigint AS reading_time, 0.0::float8 AS temperature, 0.0::float8 AS humidity, "
               "0::smallint AS water FROM pg_sleep(60)");
    std::string error;
    History::PostgresHistorySource source(*History::ArchiveAddress::parse(db_->url(), error), "KOV");
    ASSERT_TRUE(source.reachable()) << source.lastError();
    std::atomic<bool> waiting{true};
    std::thread interrupter([&] {
        for (int i = 0; i < 200 && waiting; ++i, std::this_thread::sleep_for(50ms))
            if (db_->query("SELECT count(*) FROM pg_stat_activity WHERE wait_event = 'PgSleep'") != "0")
                break;
        source.interrupt();
    });
    const auto began = std::chrono::steady_clock::now();
    EXPECT_TRUE(source.readings(0, 0, always).empty());
    waiting = false;
    interrupter.join();
    EXPECT_LT(std::chrono::steady_clock::now() - began, 10s);
    EXPECT_FALSE(source.lastError().empty());
}

} // namespace
