// The recorder's archive writer against a private PostgreSQL 15 cluster:
//   sustained: readings pushed as fast as the writer takes them for 10 s;
//              readings/s committed, and bytes per reading on disk
//   catch-up:  1,000 readings/s, the server stopped for 60 s, then started;
//              seconds from the start until everything held is written
// Prints one "name value" line per figure (bench/run reads them).
#include "archive_writer.h"
#include "postgres_cluster.h"

#include <QCoreApplication>
#include <QDateTime>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

History::Reading reading(std::int64_t i)
{
    // Keys as the recorder gives them: one millisecond on per reading.
    const std::int64_t ms = QDateTime::currentMSecsSinceEpoch() / 1000 * 1000;
    return History::Reading{static_cast<int>(i % 2), ms / 1000, 1700000000000LL + i, 20.0 + (i % 1000) * 0.01,
        40.0 + (i % 500) * 0.02, false};
}

Recorder::ArchiveWriter::Options options(const PostgresCluster& db)
{
    Recorder::ArchiveWriter::Options o;
    std::string error;
    o.address = *History::ArchiveAddress::parse(db.url(), error);
    o.log = [](const std::string& text) { std::fprintf(stderr, "writer: %s\n", text.c_str()); };
    return o;
}

void sustained(PostgresCluster& db)
{
    Recorder::ArchiveWriter writer(options(db));
    writer.start();
    while (!writer.connected())
        std::this_thread::sleep_for(10ms);
    const Clock::time_point start = Clock::now();
    std::int64_t pushed = 0;
    // Pushes stay at most a batch or two ahead: what is measured is what
    // the writer commits.
    while (Clock::now() - start < 10s) {
        if (writer.buffered() < 20000)
            for (int i = 0; i < 1000; ++i)
                writer.push(reading(pushed++));
        else
            std::this_thread::sleep_for(1ms);
    }
    const double elapsed = seconds(Clock::now() - start);
    const std::uint64_t written = writer.written();
    writer.stop(30s);
    std::printf("archive_sustained_readings_per_s %.0f\n", written / elapsed);
    const double bytes = std::stod(db.query("SELECT pg_total_relation_size('readings')"));
    const double rows = std::stod(db.query("SELECT count(*) FROM readings"));
    std::printf("archive_bytes_per_reading %.1f\n", bytes / rows);
}

void catchUp(PostgresCluster& db)
{
    db.query("TRUNCATE readings, rollups");
    Recorder::ArchiveWriter writer(options(db));
    writer.start();
    while (!writer.connected())
        std::this_thread::sleep_for(10ms);
    const Clock::time_point start = Clock::now();
    std::int64_t pushed = 0;
    bool stopped = false, restarted = false;
    Clock::time_point back, caughtUp;
    for (;;) {
        const Clock::duration t = Clock::now() - start;
        while (pushed < std::chrono::duration_cast<std::chrono::milliseconds>(t).count())
            writer.push(reading(10000000 + pushed++)); // 1,000 a second
        if (!stopped && t > 5s) {
            db.stop();
            stopped = true;
        }
        if (!restarted && t > 65s) {
            db.start();
            back = Clock::now();
            restarted = true;
        }
        if (restarted && writer.connected() && writer.buffered() < 1000) {
            caughtUp = Clock::now();
            break;
        }
        if (t > 300s)
            break;
        std::this_thread::sleep_for(1ms);
    }
    writer.stop(30s);
    std::printf("archive_catch_up_s %.1f\n", restarted && caughtUp > back ? seconds(caughtUp - back) : -1.0);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (!PostgresCluster::installed()) {
        std::fprintf(stderr, "%s\n", PostgresCluster::missing().c_str());
        return 2;
    }
    PostgresCluster db;
    ::setenv("PGPASSWORD", db.password().c_str(), 1);
    sustained(db);
    if (argc < 2 || std::string(argv[1]) != "--no-outage")
        catchUp(db);
    return 0;
}
