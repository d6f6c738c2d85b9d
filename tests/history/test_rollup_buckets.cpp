// Rollups summarised per bucket in the store: the same rows and answers from
// the local history file (test_history) and from PostgreSQL
// (test_archive_buckets, with the archive tests).
#include "history_schema.h"
#include "sqlite_history_source.h"
#include "temp_dir.h"

#ifdef KOV_BUCKETS_POSTGRES
#include "postgres_cluster.h"
#include "postgres_history_source.h"
#endif

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

using namespace History;

namespace {

constexpr std::int64_t minute = 60'000;
constexpr std::int64_t t0 = 1'700'000'100'000; // a whole number of five minutes

// Per minute after t0 (housing 0 unless said): least, greatest and mean of
// each channel ("NULL" for no data), water, readings.
std::vector<std::string> rows()
{
    const char* const values[] = {
        "0, -1, 1, 1, 1, 1, 1, 1, 0, 60", // the minute before: outside every range
        "0, 0, 20, 21, 20.5, 40, 42, 41, 0, 60",
        "0, 1, 19, 22, 20, NULL, NULL, NULL, 1, 30",
        "0, 3, 20, 99, 21, 41, 43, 42, 0, 60", // a one-reading spike
        "0, 7, NULL, NULL, NULL, 50, 50, 50, 0, 10",
        "0, 12, 18, 18, 18, 30, 30, 30, 0, 60",
        "0, 13, 17, 17, 17, 30, 30, 30, 0, 60", // the end of the ranges
        "1, 0, 5, 5, 5, 60, 60, 60, 0, 60",
    };
    std::vector<std::string> out;
    for (const char* v : values) {
        std::string row = v;
        const std::size_t comma = row.find(',', 3);
        const long index = std::stol(row.substr(3, comma - 3));
        out.push_back("INSERT INTO rollups (housing, minute_ms, min_temperature, max_temperature, "
                      "mean_temperature, min_humidity, max_humidity, mean_humidity, water, reading_count) "
                      "VALUES (" +
            row.substr(0, 3) + std::to_string(t0 + index * minute) + row.substr(comma) + ")");
    }
    return out;
}

struct Expected {
    std::int64_t start, first, last; // minutes after t0
    double minT, maxT, meanT, minH, maxH, meanH;
    bool water;
    std::int64_t count;
    int minutes;
};

void same(double got, double expected, const std::string& what)
{
    if (std::isnan(expected))
        EXPECT_TRUE(std::isnan(got)) << what << ": " << got;
    else
        EXPECT_NEAR(got, expected, 1e-9) << what;
}

void checkBuckets(HistorySource& source)
{
    const double none = noData;
    struct Case {
        int housing;
        std::int64_t from, to, width; // minutes after t0
        std::vector<Expected> buckets;
    };
    const Case cases[] = {
        {0, 0, 13, 5,
            {{0, 0, 3, 19, 99, 3090.0 / 150, 40, 43, 41.5, true, 150, 3},
                {5, 7, 7, none, none, none, 50, 50, 50, false, 10, 1},
                {10, 12, 12, 18, 18, 18, 30, 30, 30, false, 60, 1}}},
        // From inside a bucket: it holds only what is in the range.
        {0, 2, 8, 5,
            {{0, 3, 3, 20, 99, 21, 41, 43, 42, false, 60, 1},
                {5, 7, 7, none, none, none, 50, 50, 50, false, 10, 1}}},
        // Less than a minute counts as one: each bucket is its rollup.
        {0, 0, 3, 0,
            {{0, 0, 0, 20, 21, 20.5, 40, 42, 41, false, 60, 1},
                {1, 1, 1, 19, 22, 20, none, none, none, true, 30, 1}}},
        // An hour's bucket starts on the hour, a quarter before t0.
        {0, 0, 13, 60, {{-15, 0, 12, 18, 99, 4170.0 / 210, 30, 50, 7280.0 / 190, true, 220, 5}}},
        {1, -5, 13, 5, {{0, 0, 0, 5, 5, 5, 60, 60, 60, false, 60, 1}}},
        {1, 1, 13, 5, {}},
    };
    for (const Case& c : cases) {
        const std::vector<RollupBucket> got =
            source.buckets(c.housing, t0 + c.from * minute, t0 + c.to * minute, c.width * minute);
        const std::string at = "housing " + std::to_string(c.housing) + " from " + std::to_string(c.from) +
            " by " + std::to_string(c.width);
        ASSERT_EQ(got.size(), c.buckets.size()) << at << ": " << source.lastError();
        for (std::size_t i = 0; i < got.size(); ++i) {
            const RollupBucket& b = got[i];
            const Expected& e = c.buckets[i];
            const std::string what = at + ", bucket " + std::to_string(i);
            EXPECT_EQ(b.housing, c.housing) << what;
            EXPECT_EQ(b.startMs, t0 + e.start * minute) << what;
            EXPECT_EQ(b.firstMinuteMs, t0 + e.first * minute) << what;
            EXPECT_EQ(b.lastMinuteMs, t0 + e.last * minute) << what;
            same(b.minTemperature, e.minT, what + " least temperature");
            same(b.maxTemperature, e.maxT, what + " greatest temperature");
            same(b.meanTemperature, e.meanT, what + " mean temperature");
            same(b.minHumidity, e.minH, what + " least humidity");
            same(b.maxHumidity, e.maxH, what + " greatest humidity");
            same(b.meanHumidity, e.meanH, what + " mean humidity");
            EXPECT_EQ(b.water, e.water) << what;
            EXPECT_EQ(b.count, e.count) << what;
            EXPECT_EQ(b.minutes, e.minutes) << what;
        }
    }
}

#ifndef KOV_BUCKETS_POSTGRES
TEST(RollupBuckets, SummarisedInTheLocalHistoryFile)
{
    TempDir dir;
    const std::string path = dir.file("kovhistory.db");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
        db.setDatabaseName(QString::fromStdString(path));
        ASSERT_TRUE(db.open());
        std::vector<std::string> statements = HistorySchema::createStatements(HistorySchema::Dialect::Sqlite);
        for (const std::string& row : rows())
            statements.push_back(row);
        for (const std::string& sql : statements) {
            QSqlQuery query(db);
            ASSERT_TRUE(query.exec(QString::fromStdString(sql)))
                << sql << ": " << query.lastError().text().toStdString();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
    SqliteHistorySource source(path);
    checkBuckets(source);
}
#endif

#ifdef KOV_BUCKETS_POSTGRES
TEST(RollupBuckets, SummarisedInTheArchive)
{
    if (!PostgresCluster::installed())
        GTEST_SKIP() << PostgresCluster::missing();
    PostgresCluster db;
    ::setenv("PGPASSWORD", db.password().c_str(), 1);
    std::string script;
    for (const std::string& sql : HistorySchema::createStatements(HistorySchema::Dialect::Postgres))
        script += sql + ";\n";
    for (const std::string& row : rows())
        script += row + ";\n";
    db.query(script);
    std::string error;
    // The rows above name no instrument: the column's default.
    PostgresHistorySource source(*ArchiveAddress::parse(db.url(), error), "");
    checkBuckets(source);
}
#endif

} // namespace
