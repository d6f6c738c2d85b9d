// The trends' limit lines from an archive that two instruments share: they
// step where this instrument's recorded change is, and the other
// instrument's setpoints never show.
#include "history_schema.h"
#include "limit_steps.h"
#include "postgres_cluster.h"
#include "postgres_history_source.h"
#include "trend_query.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using namespace History;

namespace {

constexpr std::int64_t t0 = 1'700'000'000'000;
constexpr std::int64_t minute = 60'000;

// The whole set at start (old equal to new), then one change of the
// over-temperature limit at `changedMs`.
std::string setpointRows(const std::string& instrument, double base, std::int64_t changedMs, double changed)
{
    const std::string at = std::to_string(t0);
    std::string rows;
    for (int which = 0; which < 4; ++which) {
        const std::string value = std::to_string(base + which);
        rows += "('" + instrument + "', " + at + ", " + std::to_string(which) + ", 0, " +
            std::to_string(which) + ", " + value + ", " + value + "), ";
    }
    return rows + "('" + instrument + "', " + std::to_string(changedMs) + ", 0, 0, 1, " +
        std::to_string(base + 1) + ", " + std::to_string(changed) + ")";
}

TEST(ArchiveLimits, StepWhereThisInstrumentsChangeWasRecorded)
{
    if (!PostgresCluster::installed())
        GTEST_SKIP() << PostgresCluster::missing();
    PostgresCluster db;
    ::setenv("PGPASSWORD", db.password().c_str(), 1);
    std::string script;
    for (const std::string& sql : HistorySchema::createStatements(HistorySchema::Dialect::Postgres))
        script += sql + ";\n";
    script +=
        "INSERT INTO setpoint_changes (instrument, time_ms, seq, housing, setpoint, old_value, new_value) "
        "VALUES " +
        setpointRows("A", 30, t0 + 20 * minute, 28.5) + ", " + setpointRows("B", 50, t0 + 40 * minute, 60) +
        ";\n";
    db.query(script);

    std::string error;
    PostgresHistorySource source(*ArchiveAddress::parse(db.url(), error), "A");
    const std::int64_t from = t0 + 10 * minute, to = t0 + 70 * minute;
    const TrendQuery::Answer answer = TrendQuery::forRange(from, to, to, 600).read(source);
    ASSERT_TRUE(answer.error.empty()) << answer.error;
    LimitSteps limits;
    limits.setBase({LimitSteps::sinceEver, 99, 99, 99, 99}); // the live set: not what was in force
    limits.setHistory(answer.setpoints[0]);
    const std::vector<TrendPoint> line = limits.line(Setpoint::OverTemp, from, to);
    ASSERT_EQ(line.size(), 3u);
    EXPECT_EQ(line[0].timeMs, from);
    EXPECT_EQ(line[0].value, 31);
    EXPECT_EQ(line[1].timeMs, t0 + 20 * minute);
    EXPECT_EQ(line[1].value, 28.5);
    EXPECT_EQ(line[2].value, 28.5);
    const std::vector<TrendPoint> warning = limits.line(Setpoint::TempWarning, from, to);
    ASSERT_EQ(warning.size(), 2u);
    EXPECT_EQ(warning[1].value, 30);
}

} // namespace
