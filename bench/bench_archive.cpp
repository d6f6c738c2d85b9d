// The recorder's archive writer against a private PostgreSQL 15 cluster:
//   sustained: readings pushed as fast as the writer takes them for 10 s;
//              readings/s committed, and bytes per reading on disk
//   catch-up:  1,000 readings/s, the server stopped for 60 s, then started;
//              seconds from the start until everything held is written
//   alarms:    the recorder's processor time per reading at 2,000 readings/s
//              with the alarm service (holding the lock) against without,
//              in alternating rounds of one run; median of the paired ratios
// Prints one "name value" line per figure (bench/run reads them).
#include "alarm_service.h"
#include "archive_writer.h"
#include "postgres_cluster.h"

#include <QCoreApplication>
#include <QDateTime>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

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

double processorSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
        (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// One round: readings within the limits (as nearly all are) at 2,000 a
// second for 3 s, each to the writer and, with `service`, to the alarms;
// the processor time per reading, once both have taken everything.
double roundCost(Recorder::ArchiveWriter& writer, Recorder::AlarmService* service, std::int64_t& pushed)
{
    constexpr int perSecond = 2000;
    const double before = processorSeconds();
    const Clock::time_point start = Clock::now();
    int count = 0;
    for (; count < 3 * perSecond; ++count) {
        std::this_thread::sleep_until(start + std::chrono::microseconds(1000000LL * count / perSecond));
        History::Reading r = reading(20000000 + pushed++);
        r.temperature = 20.0 + (pushed % 100) * 0.01;
        r.humidity = 30.0 + (pushed % 50) * 0.01;
        writer.push(r);
        if (service)
            service->reading(r.housing, r.temperature, r.humidity, r.water);
    }
    while (writer.buffered() > 0)
        std::this_thread::sleep_for(1ms);
    if (service) {
        std::this_thread::sleep_for(100ms); // the last readings gathered are judged
        QMetaObject::invokeMethod(
            service, [] {}, Qt::BlockingQueuedConnection);
    }
    return (processorSeconds() - before) / count * 1e6;
}

void alarmCost(PostgresCluster& db)
{
    Recorder::ArchiveWriter writer(options(db));
    writer.start();
    while (!writer.connected())
        std::this_thread::sleep_for(10ms);
    Recorder::AlarmService::Options o;
    o.address = options(db).address;
    o.instrument = "KOV";
    o.service = o.user = "bench_archive";
    Recorder::AlarmService service(o);
    service.start();
    for (const Clock::time_point end = Clock::now() + 20s; !service.active() && Clock::now() < end;)
        std::this_thread::sleep_for(10ms);
    if (!service.active()) {
        std::fprintf(stderr, "the alarm service did not take the lock\n");
        return;
    }
    std::int64_t pushed = 0;
    std::vector<double> off, on, ratios;
    for (int round = 0; round < 4; ++round) {
        off.push_back(roundCost(writer, nullptr, pushed));
        on.push_back(roundCost(writer, &service, pushed));
        ratios.push_back(on.back() / off.back());
    }
    service.stop(5s);
    writer.stop(30s);
    std::printf("alarms_off_us_per_reading %.2f\n", median(off));
    std::printf("alarms_on_us_per_reading %.2f\n", median(on));
    std::printf("alarms_on_ratio %.3f\n", median(ratios));
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
    const std::string only = argc > 1 ? argv[1] : "";
    if (only != "--alarms") {
        sustained(db);
        db.query("TRUNCATE readings, rollups");
    }
    alarmCost(db);
    if (only.empty())
        catchUp(db);
    return 0;
}
