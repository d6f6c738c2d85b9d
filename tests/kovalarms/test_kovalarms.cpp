// kovalarms against an archive on a private PostgreSQL cluster: the tables
// made by the recorder's store, the roles of a control room, alarm states
// as a service writes them, and the test standing in for the service where
// an action must be applied.
#include "archive_store.h"
#include "child_process.h"
#include "loopback.h"
#include "postgres_cluster.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <regex>

namespace {

using namespace std::chrono_literals;
using Stream = ChildProcess::Stream;

constexpr const char* grants =
    "CREATE ROLE kovoperator LOGIN PASSWORD 'kov-test-secret';"
    "CREATE ROLE kovreader LOGIN PASSWORD 'kov-test-secret';"
    "GRANT SELECT ON ALL TABLES IN SCHEMA public TO kovoperator;"
    "GRANT EXECUTE ON FUNCTION kov_alarm_action(text,text,text,integer,text) TO kovoperator;"
    "GRANT SELECT ON ALL TABLES IN SCHEMA public TO kovreader;";

// 2026-12-08T18:00:30Z, 2026-12-08T18:05:00Z, 2100-01-01T00:00:00Z
constexpr const char* states =
    "INSERT INTO alarm_state (instrument, point_key, point, state, level, active, acknowledged, since_ms, "
    "shelved_until_ms, value, setpoint, acted_by, acted_ms, comment, updated_ms) VALUES "
    "('KOV', 'electronics.temperature', 'Electronics housing temperature over limit', 'unacknowledged', 2, "
    "true, false, 1796752830000, 0, 33.5, 32, '', 0, '', 1796752830000),"
    "('KOV', 'electronics.humidity', 'Electronics housing humidity over limit', 'acknowledged', 1, true, "
    "true, "
    "1796752830000, 0, 61.25, 60, 'kovoperator', 1796753100000, '', 1796753100000),"
    "('KOV', 'spectrometer.water', 'Spectrometer housing water sensor', 'shelved', 0, false, true, "
    "1796752830000, 4102444800000, NULL, NULL, 'kovoperator', 1796753100000, 'pump service', 1796753100000),"
    "('KOV', 'link', 'Link lost', 'normal', 0, false, true, 1796752830000, 0, NULL, NULL, '', 0, '', 0),"
    "('KOV2', 'link', 'Link lost', 'normal', 0, false, true, 1796752830000, 0, NULL, NULL, '', 0, '', 0);"
    "INSERT INTO alarm_service VALUES ('KOV', 'kovrecorder on testhost, process 4242', 0, "
    "(extract(epoch FROM clock_timestamp()) * 1000)::bigint);";

// One turn of the alarm service: every pending action applied (a shelf of
// the link declined, so that a refusal has a case), then the consoles told.
constexpr const char* serviceTurn =
    "WITH applied AS (UPDATE alarm_actions SET done_ms = (extract(epoch FROM clock_timestamp()) * "
    "1000)::bigint, "
    "outcome = CASE WHEN action = 'shelve' AND point_key = 'link' THEN 'not shelved: declined by the test' "
    "ELSE 'done' END WHERE done_ms IS NULL RETURNING instrument) "
    "SELECT count(pg_notify('kov_alarms', instrument)) FROM applied";

struct Case {
    const char* name;
    std::string user; // the role in the archive's address; "" for no server there
    std::vector<std::string> words;
    bool service; // the test applies queued actions while kovalarms waits
    int status;
    std::vector<std::string> lines; // in this order, on standard output or error
    std::string absent;             // no line matches this
    std::string sql;                // afterwards, answers `answer`
    std::string answer;
};

class Kovalarms : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!PostgresCluster::installed())
            return;
        db_ = new PostgresCluster;
        ::setenv("PGPASSWORD", db_->password().c_str(), 1);
        std::string error;
        const auto address = History::ArchiveAddress::parse(db_->url(), error);
        ASSERT_TRUE(address) << error;
        Recorder::ArchiveStore store(*address, "kovalarms_tables", "KOV");
        ASSERT_EQ(store.open(), Recorder::ArchiveStore::Outcome::Ok) << store.lastError();
        db_->query(grants);
        db_->query(states);
        db_->query("CREATE DATABASE untouched");
    }
    static void TearDownTestSuite()
    {
        delete db_;
        db_ = nullptr;
    }
    void SetUp() override
    {
        if (!db_)
            GTEST_SKIP() << PostgresCluster::missing();
    }

    // kovalarms as `c` runs it: its exit status and its lines.
    static std::optional<int> run(const Case& c, std::vector<std::string>& lines)
    {
        const std::string database = c.user == "kov" ? "untouched" : "kov";
        const int port = c.user.empty() ? closedLoopbackPort() : db_->port();
        std::vector<std::string> args{"--archive",
            "postgresql://" + (c.user.empty() ? std::string("kovoperator") : c.user) +
                "@127.0.0.1:" + std::to_string(port) + "/" + database};
        args.insert(args.end(), c.words.begin(), c.words.end());
        ChildProcess child(KOV_KOVALARMS_PATH, args);
        std::optional<int> status;
        for (int turn = 0; turn < 300 && !status; ++turn) {
            status = child.waitForExit(50ms);
            if (!status && c.service)
                db_->query(serviceTurn);
        }
        lines = child.lines(Stream::Output);
        for (const std::string& line : child.lines(Stream::Error))
            lines.push_back(line);
        return status;
    }

    static PostgresCluster* db_;
};

PostgresCluster* Kovalarms::db_ = nullptr;

} // namespace

TEST_F(Kovalarms, ListsActsAndAnswersWithItsStatus)
{
    const Case cases[] = {
        {"a reader lists every instrument, the most severe point first", "kovreader", {"list"}, false, 0,
            {"^KOV +link +normal +2026-12-08T18:00:30Z +- +- +-$",
                "^KOV +spectrometer\\.water +shelved +2026-12-08T18:00:30Z +- +- +shelved by kovoperator "
                "until "
                "2100-01-01T00:00:00Z \"pump service\"$",
                "^KOV +electronics\\.temperature +unacknowledged +2026-12-08T18:00:30Z +33\\.5 +32 +-$",
                "^KOV +electronics\\.humidity +acknowledged +2026-12-08T18:00:30Z +61\\.25 +60 +acknowledged "
                "by "
                "kovoperator at 2026-12-08T18:05:00Z$",
                "^KOV2 +link +normal",
                "^alarm_service: KOV: kovrecorder on testhost, process 4242, last "
                "heartbeat [0-9]+ s ago$",
                "^alarm_service: KOV2: none has run"},
            "", "", ""},
        {"one instrument", "kovreader", {"--instrument", "KOV2", "list"}, false, 0,
            {"^KOV2 +link +normal", "^alarm_service: KOV2: none has run"}, "KOV ", "", ""},
        {"an instrument without points", "kovreader", {"--instrument", "KOV3", "list"}, false, 0,
            {"^KOV3 holds no alarm points", "^alarm_service: KOV3: none has run"}, "", "", ""},
        {"an operator's ack, applied", "kovoperator", {"ack", "electronics.temperature", "--comment", "seen"},
            true, 0, {"^KOV ack electronics\\.temperature: done$"}, "",
            "SELECT user_name || ' ' || comment FROM alarm_actions ORDER BY id DESC LIMIT 1",
            "kovoperator seen"},
        {"ack all, applied", "kovoperator", {"ack", "all"}, true, 0, {"^KOV ack all: done$"}, "", "", ""},
        {"a shelf the service declines", "kovoperator", {"shelve", "link", "30"}, true, 7,
            {"^KOV shelve link: not applied: not shelved: declined by the test$"}, "", "", ""},
        {"a reader's ack, refused", "kovreader", {"ack", "electronics.temperature"}, false, 4,
            {"kovreader has no right to ack"}, "",
            "SELECT count(*) FROM alarm_actions WHERE user_name = 'kovreader'", "0"},
        {"a point the engine does not know", "kovoperator", {"ack", "electronics.pressure"}, false, 5,
            {"no alarm point \"electronics.pressure\""}, "", "", ""},
        {"a point the service never listed: none of the points queued", "kovoperator",
            {"ack", "electronics.temperature", "electronics.readings", "--comment", "together"}, false, 5,
            {"no alarm point electronics\\.readings of instrument KOV"}, "",
            "SELECT count(*) FROM alarm_actions WHERE comment = 'together'", "0"},
        {"no server at the address", "", {"list"}, false, 3, {"cannot reach the archive"}, "", "", ""},
        {"a database no recorder opened", "kov", {"list"}, false, 3, {"holds no alarm tables"}, "", "", ""},
        {"a login the server refuses", "nosuchrole", {"list"}, false, 4, {"refused the login of nosuchrole"},
            "", "", ""},
        {"bad use", "kovoperator", {"shelve", "link", "481"}, false, 1, {"1 to 480 minutes"}, "", "", ""},
        {"queued with no service", "kovoperator", {"--wait", "1", "unshelve", "spectrometer.water"}, false, 6,
            {"^KOV unshelve spectrometer\\.water: queued \\(action [0-9]+\\), not applied within 1 s; "
             "kovrecorder on testhost, process 4242 was last heard [0-9]+ s ago\\. The alarm service applies "
             "it when it runs\\.$"},
            "", "SELECT count(*) FROM alarm_actions WHERE done_ms IS NULL AND action = 'unshelve'", "1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> lines;
        ASSERT_EQ(run(c, lines), c.status);
        std::string all;
        for (const std::string& line : lines)
            all += line + "\n";
        auto next = lines.begin();
        for (const std::string& pattern : c.lines) {
            const std::regex wanted(pattern);
            next = std::find_if(
                next, lines.end(), [&](const std::string& l) { return std::regex_search(l, wanted); });
            ASSERT_NE(next, lines.end()) << pattern << " in\n" << all;
            ++next;
        }
        for (const std::string& line : lines)
            EXPECT_TRUE(c.absent.empty() || line.rfind(c.absent, 0) == std::string::npos) << line;
        if (!c.sql.empty()) {
            EXPECT_EQ(db_->query(c.sql), c.answer);
        }
    }
}
