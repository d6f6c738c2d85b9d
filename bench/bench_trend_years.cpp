// The trends zoomed out to years, against real stores: YEARS years of
// per-minute rollups per housing (a sawtooth a day, one spike of 99 °C) in a
// history file, and in a private PostgreSQL cluster where one is installed.
// Per store, the range's every rollup, as the trends read long ranges before
// they asked for buckets (rows, ms), against the buckets the store sums up
// for the window's plots (rows a column, ms, whether the spike is in them). For the file also the trends
// window opening the whole range, to every plot painted, and the process's peak memory before and after every
// rollup was read. Prints one line of name=value figures.
//
//   bench_trend_years [years]
#include "client_events.h"
#include "fake_host.h"
#include "history_schema.h"
#include "peak_resident.h"
#include "postgres_cluster.h"
#include "postgres_history_source.h"
#include "resources.h"
#include "sqlite_history_source.h"
#include "temp_dir.h"
#include "trend_query.h"
#include "trendplot.h"
#include "trends_open.h"
#include "trendsdialog.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <ctime>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr std::int64_t minuteMs = 60'000;

double cpuMs()
{
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Wall time, and the process's processor time in `cpu` (this machine is
// shared: the wall time grows with the others' load, the processor time
// less so). A PostgreSQL server's work is not in it.
double timedMs(const std::function<void()>& work, double* cpu = nullptr)
{
    QElapsedTimer timer;
    timer.start();
    const double before = cpuMs();
    work();
    if (cpu)
        *cpu = cpuMs() - before;
    return timer.nsecsElapsed() / 1e6;
}

// The SELECT both dialects take: minute i of housing h from `startMs` on.
std::string rollupRows(std::int64_t startMs, std::int64_t minutes)
{
    const std::string v = "(20 + (i % 1440) / 144.0)";
    return "SELECT h, " + std::to_string(startMs) + " + i * 60000, " + v +
        ", CASE WHEN i = " + std::to_string(minutes / 3) + " AND h = 1 THEN 99 ELSE " + v + " + 0.5 END, " +
        v + " + 0.25, 40 + (i % 720) / 36.0, 40.5 + (i % 720) / 36.0, 40.25 + (i % 720) / 36.0, 0, 60";
}

const char* const insertRollups =
    "INSERT INTO rollups (housing, minute_ms, min_temperature, max_temperature, "
    "mean_temperature, min_humidity, max_humidity, mean_humidity, water, "
    "reading_count) ";

bool fillFile(const std::string& path, std::int64_t startMs, std::int64_t minutes)
{
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
        db.setDatabaseName(QString::fromStdString(path));
        ok = db.open();
        std::vector<std::string> statements = HistorySchema::createStatements(HistorySchema::Dialect::Sqlite);
        for (int h = 0; h < 2; ++h)
            statements.push_back("WITH RECURSIVE m(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM m WHERE i < " +
                std::to_string(minutes - 1) + ") " + insertRollups + rollupRows(startMs, minutes) +
                " FROM m, (SELECT " + std::to_string(h) + " AS h)");
        for (const std::string& sql : statements) {
            QSqlQuery query(db);
            if (ok && !query.exec(QString::fromStdString(sql))) {
                std::fprintf(stderr, "fill: %s\n", query.lastError().text().toStdString().c_str());
                ok = false;
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
    return ok;
}

void fillArchive(const PostgresCluster& db, std::int64_t startMs, std::int64_t minutes)
{
    std::string script;
    for (const std::string& sql : HistorySchema::createStatements(HistorySchema::Dialect::Postgres))
        script += sql + ";\n";
    script += insertRollups + rollupRows(startMs, minutes) + " FROM generate_series(CAST(0 AS BIGINT), " +
        std::to_string(minutes - 1) + ") AS i, (VALUES (0), (1)) AS hs(h);\nANALYZE rollups;\n";
    db.query(script);
}

// The figures of one store, named with `prefix`.
void readFigures(const std::string& prefix, History::HistorySource& source, std::int64_t fromMs,
    std::int64_t toMs, int columns, std::string& out)
{
    const TrendQuery query = TrendQuery::forRange(fromMs, toMs, toMs, columns);
    std::vector<double> bucketMs, bucketCpu;
    std::size_t bucketRows = 0;
    bool spike = false;
    for (int round = 0; round < 3; ++round) {
        double cpu = 0;
        bucketMs.push_back(timedMs(
            [&] {
                bucketRows = 0;
                for (int h = 0; h < 2; ++h) {
                    const auto buckets = source.buckets(h, query.fromMs(), query.toMs(), query.bucketMs());
                    bucketRows += buckets.size();
                    for (const History::RollupBucket& b : buckets)
                        spike = spike || b.maxTemperature == 99;
                }
            },
            &cpu));
        bucketCpu.push_back(cpu);
    }
    std::size_t everyRows = 0;
    double everyCpu = 0;
    const double everyMs = timedMs(
        [&] {
            for (int h = 0; h < 2; ++h) {
                const std::vector<TrendSample> samples =
                    TrendSeries::fromRollups(source.rollups(h, query.fromMs(), query.toMs()));
                everyRows += samples.size() / 2;
            }
        },
        &everyCpu);
    // Rows a column of one plot: the query reaches a quarter past either end.
    const double perColumn = bucketRows / 2.0 / (columns * 1.5);
    const char* p = prefix.c_str();
    char line[500];
    std::snprintf(line, sizeof line,
        " %s_every_rows=%zu %s_every_ms=%.0f %s_every_cpu_ms=%.0f %s_bucket_rows=%zu %s_rows_per_column=%.2f "
        "%s_bucket_ms=%.0f %s_bucket_cpu_ms=%.0f %s_spike_kept=%d",
        p, everyRows, p, everyMs, p, everyCpu, p, bucketRows, p, perColumn, p, median(bucketMs), p,
        median(bucketCpu), p, spike ? 1 : 0);
    out += line;
    if (!source.lastError().empty())
        std::fprintf(stderr, "%s: %s\n", prefix.c_str(), source.lastError().c_str());
}

} // namespace

int main(int argc, char** argv)
{
    const int years = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Resources::init();

    const std::int64_t minutes = years * 365LL * 1440;
    const std::int64_t endMs = QDateTime::currentMSecsSinceEpoch() / minuteMs * minuteMs;
    const std::int64_t startMs = endMs - minutes * minuteMs;
    TempDir dir;
    const std::string path = dir.file("kovhistory.db");
    if (!fillFile(path, startMs, minutes))
        return 1;

    std::string figures = "years=" + std::to_string(years) + " rollups=" + std::to_string(2 * minutes);
    int columns = 0;
    {
        FakeHost host;
        host.history = [path] { return std::make_unique<History::SqliteHistorySource>(path); };
        ClientEvents events;
        CTrendsDialog dialog(host, nullptr);
        dialog.Create();
        dialog.listenTo(events);
        dialog.resize(1280, 800);
        dialog.show();
        QCoreApplication::processEvents();
        std::vector<double> open, openCpu;
        for (int round = 0; round < 3; ++round) {
            const double before = cpuMs();
            open.push_back(openMs(dialog, endMs - startMs, 60000));
            openCpu.push_back(cpuMs() - before);
            openMs(dialog, CTrendsDialog::hourMs); // so that the next reads the range anew
        }
        columns = dialog.plot(0, History::Quantity::Temperature)->columns();
        figures += " open_ms=" + std::to_string(static_cast<int>(median(open))) +
            " open_cpu_ms=" + std::to_string(static_cast<int>(median(openCpu))) +
            " columns=" + std::to_string(columns);
    }
    figures += " peak_mb_window=" + std::to_string(peakResidentKb() / 1024);
    {
        History::SqliteHistorySource source(path);
        readFigures("sqlite", source, startMs, endMs, columns, figures);
    }
    figures += " peak_mb_every=" + std::to_string(peakResidentKb() / 1024);

    if (PostgresCluster::installed()) {
        PostgresCluster db;
        ::setenv("PGPASSWORD", db.password().c_str(), 1);
        fillArchive(db, startMs, minutes);
        std::string error;
        // fillArchive's rows name no instrument: the column's default.
        History::PostgresHistorySource source(*History::ArchiveAddress::parse(db.url(), error), "");
        readFigures("pg", source, startMs, endMs, columns, figures);
    }
    std::printf("%s\n", figures.c_str());
    return 0;
}
