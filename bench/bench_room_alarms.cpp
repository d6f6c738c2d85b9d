// An acknowledgement on one console to shown on another, through a private
// PostgreSQL 15 cluster: two consoles' room alarm readers (RoomAlarmReader,
// each on its own thread and connection, as the client runs it), and a
// STAND-IN for the instrument's alarm service on a connection of its own:
// it listens on kov_alarm_actions, applies each queued action to
// alarm_state as the service would, and notifies kov_alarms. Each round the
// stand-in raises a point, console B shows it, console A acknowledges, and
// the time until B shows it acknowledged is taken. What is measured is the
// archive's path (kov_alarm_action, two notifications, B's read), not the
// recorder's own alarm service.
//   bench_room_alarms [ROUNDS]
// Prints one "name value" line per figure (bench/run reads them).
#include "alarm_point.h"
#include "archive_store.h"
#include "postgres_cluster.h"
#include "room_alarm_reader.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
const char* const instrument = "BENCH";
const char* const point = "electronics.water";

bool spin(const std::function<bool()>& done, int limitMs = 10'000)
{
    QDeadlineTimer deadline(limitMs);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

// Plays the instrument's alarm service: applies queued actions, tells the
// consoles. Not the recorder's service.
class StandInService {
public:
    explicit StandInService(const History::ArchiveAddress& address)
        : db_(address.addDatabase(QStringLiteral("stand_in_service")))
    {
        if (!db_.open())
            fail("stand-in service: " + db_.lastError().text().toStdString());
        QObject::connect(db_.driver(), &QSqlDriver::notification, [this] { apply(); });
        db_.driver()->subscribeToNotification(QStringLiteral("kov_alarm_actions"));
    }

    void exec(const QString& sql)
    {
        QSqlQuery query(db_);
        if (!query.exec(sql))
            fail("stand-in service: " + query.lastError().text().toStdString());
    }

    void seed()
    {
        const QString now = QString::number(QDateTime::currentMSecsSinceEpoch());
        for (int i = 0; i < AlarmPoint::count; ++i)
            exec(QStringLiteral("INSERT INTO alarm_state (instrument, point_key, point, state, since_ms, "
                                "updated_ms) VALUES ('%1', '%2', '%3', 'normal', %4, %4)")
                     .arg(instrument, QString::fromStdString(AlarmPoint::at(i).key()),
                         QString::fromStdString(AlarmPoint::at(i).name()), now));
        exec(QStringLiteral("INSERT INTO alarm_service VALUES ('%1', 'stand-in service', %2, %2)")
                 .arg(instrument, now));
    }

    void raise()
    {
        exec(QStringLiteral(
            "UPDATE alarm_state SET state = 'unacknowledged', active = true, acknowledged = "
            "false, raised_ms = %1, since_ms = %1 WHERE instrument = '%2' AND point_key = '%3'")
                 .arg(QString::number(QDateTime::currentMSecsSinceEpoch()), instrument, point));
        exec(QStringLiteral("SELECT pg_notify('kov_alarms', '%1')").arg(instrument));
    }

private:
    void apply()
    {
        const QString now = QString::number(QDateTime::currentMSecsSinceEpoch());
        exec(
            QStringLiteral("UPDATE alarm_state s SET acknowledged = true, state = 'acknowledged', acted_by = "
                           "a.user_name, acted_ms = %1 FROM alarm_actions a WHERE a.done_ms IS NULL AND "
                           "a.action = 'ack' AND s.instrument = a.instrument AND s.point_key = a.point_key")
                .arg(now));
        exec(QStringLiteral("UPDATE alarm_actions SET done_ms = %1, outcome = 'done' WHERE done_ms IS NULL")
                 .arg(now));
        exec(QStringLiteral("SELECT pg_notify('kov_alarms', '%1')").arg(instrument));
    }

    [[noreturn]] static void fail(const std::string& why)
    {
        std::fprintf(stderr, "%s\n", why.c_str());
        std::exit(1);
    }

    QSqlDatabase db_;
};

// The state of the benchmark's point on a console, as last read.
struct Shown {
    bool reachable = false;
    std::string state;
};

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    const std::size_t index = std::min(values.size() - 1, std::size_t(p * double(values.size() - 1) + 0.5));
    return values[index];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(2, std::atoi(argv[1])) : 50;
    if (!PostgresCluster::installed()) {
        std::fprintf(stderr, "%s\n", PostgresCluster::missing().c_str());
        return 1;
    }
    PostgresCluster db;
    setenv("PGPASSWORD", db.password().c_str(), 1);
    std::string error;
    const History::ArchiveAddress address = *History::ArchiveAddress::parse(db.url(), error);
    {
        Recorder::ArchiveStore store(address, "bench_setup", instrument);
        if (store.open() != Recorder::ArchiveStore::Outcome::Ok) {
            std::fprintf(stderr, "archive: %s\n", store.lastError().c_str());
            return 1;
        }
    }
    StandInService service(address);
    service.seed();

    RoomAlarmReader::Options options;
    options.address = address;
    options.instrument = instrument;
    // Only the notifications bring news in time: the poll is far apart.
    options.pollMs = 60'000;
    RoomAlarmReader a(options), b(options);
    Shown shown;
    QObject::connect(&b, &RoomAlarmReader::read, [&shown](const RoomAlarmSnapshot& snapshot) {
        shown.reachable = snapshot.reachable;
        for (const RoomAlarmRow& row : snapshot.rows)
            if (row.pointKey == point)
                shown.state = row.state;
    });
    if (!spin([&] { return shown.reachable; })) {
        std::fprintf(stderr, "console B never read the archive\n");
        return 1;
    }

    std::vector<double> ms;
    for (int round = 0; round < rounds; ++round) {
        service.raise();
        if (!spin([&] { return shown.state == "unacknowledged"; })) {
            std::fprintf(stderr, "console B did not show the raise\n");
            return 1;
        }
        const Clock::time_point pressed = Clock::now();
        a.act(RoomAlarmAction{point, "ack", 0, {}});
        if (!spin([&] { return shown.state == "acknowledged"; })) {
            std::fprintf(stderr, "console B did not show the acknowledgement\n");
            return 1;
        }
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - pressed).count());
    }
    std::printf("room_ack_rounds %d\n", rounds);
    std::printf("room_ack_p50_ms %.1f\n", percentile(ms, 0.50));
    std::printf("room_ack_p95_ms %.1f\n", percentile(ms, 0.95));
    std::printf("room_ack_max_ms %.1f\n", *std::max_element(ms.begin(), ms.end()));
    return 0;
}
