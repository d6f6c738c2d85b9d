// The on-call notification, in this process as the recorder's alarm service
// runs it, against a private PostgreSQL cluster and a local mail server
// through msmtp:
//   - the delay from an alarm coming due (its raise plus --notify-after, as
//     the outbox keeps it) to the mail in the server's mailbox (looked for
//     every 10 ms), the engine ticked once a second as the alarm service
//     does, over ROUNDS alarms, each to an address of its own;
//   - a storm: 50 raises in 10 s, then the mails per address within the
//     next 70 s (real time: the minute between two mails is not stepped).
// Prints one line: "notify p50_ms=.. p95_ms=.. max_ms=.. rounds=.. storm_mails=.. storm_alarms_named=..".
#include "alarm_engine.h"
#include "alarm_setpoints.h"
#include "mail_sink.h"
#include "notification_service.h"
#include "postgres_cluster.h"
#include "temp_dir.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

std::int64_t steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
std::int64_t utcMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::size_t mailsTo(const MailSink& sink, const std::string& address)
{
    std::size_t n = 0;
    for (const std::string& mail : sink.mails())
        n += mail.find("To: " + address + "\n") != std::string::npos;
    return n;
}

struct Station {
    AlarmEngine engine{AlarmSettings{}, "kovrecorder", {steadyMs, utcMs}};
    Recorder::NotificationService service;
    AlarmSetpoints limits;
    bool points[7] = {};
    int raises = 0;

    Station(const History::ArchiveAddress& address, const std::string& instrument, NotifySettings settings)
        : service({address, instrument, std::move(settings),
              [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); }})
    {
        engine.setListener({[this](const AlarmRecord& r) {
                                raises += r.action == AlarmAction::Raised;
                                service.recorded(r);
                            },
            nullptr, nullptr});
        service.start();
        service.serviceActive(true);
    }
    void readings()
    {
        for (int h = 0; h < 2; ++h)
            engine.reading(h, points[2 + h] ? 40 : 20, points[4 + h] ? 70 : 40, points[h], limits);
        engine.linkUp(!points[6]);
    }
    void tick()
    {
        engine.tick();
        service.tick(engine, utcMs());
    }
    void step()
    {
        readings();
        tick();
    }
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 20;
    if (!PostgresCluster::installed()) {
        std::fprintf(stderr, "%s\n", PostgresCluster::missing().c_str());
        return 1;
    }
    TempDir dir;
    PostgresCluster db;
    ::setenv("PGPASSWORD", db.password().c_str(), 1);
    std::string error;
    const History::ArchiveAddress address = *History::ArchiveAddress::parse(db.url(), error);
    MailSink sink(dir.path());
    sink.start();

    NotifySettings settings;
    settings.notifyAfterSeconds = 1;
    settings.sendmail = sink.sendmail();
    std::vector<double> delays;
    for (int round = 0; round < rounds; ++round) {
        const std::string instrument = "R" + std::to_string(round);
        settings.notify = {"round" + std::to_string(round) + "@example.org"};
        Station station(address, instrument, settings);
        station.points[0] = true;
        const auto end = std::chrono::steady_clock::now() + 15s;
        // The alarm service's tick: once a second, at a phase of its own.
        auto next = std::chrono::steady_clock::now() + std::chrono::milliseconds(round * 53 % 1000);
        while (mailsTo(sink, settings.notify[0]) == 0 && std::chrono::steady_clock::now() < end) {
            station.readings(); // the raise comes with a reading, between two ticks
            if (std::chrono::steady_clock::now() >= next) {
                station.tick();
                next += 1s;
            }
            std::this_thread::sleep_for(10ms);
        }
        const std::int64_t seen = utcMs();
        const std::string due =
            db.query("SELECT due_ms FROM notification_outbox WHERE instrument = '" + instrument + "'");
        if (due.empty() || mailsTo(sink, settings.notify[0]) == 0) {
            std::fprintf(stderr, "round %d: no mail within 15 s\n", round);
            return 1;
        }
        delays.push_back(double(seen - std::stoll(due)));
    }
    std::sort(delays.begin(), delays.end());
    const auto at = [&](double q) {
        return delays[std::min(delays.size() - 1, std::size_t(q * delays.size()))];
    };

    settings.notify = {"storm@example.org"};
    Station storm(address, "STORM", settings);
    for (int tick = 0; storm.raises < 50; ++tick) {
        for (int p = 0; p < 7; ++p)
            storm.points[p] = tick >= 2 * p && (tick - 2 * p) % 14 < 7;
        storm.step();
        std::this_thread::sleep_for(100ms);
    }
    for (const auto end = std::chrono::steady_clock::now() + 70s; std::chrono::steady_clock::now() < end;) {
        storm.step();
        std::this_thread::sleep_for(100ms);
    }
    std::size_t named = 0;
    for (const std::string& mail : sink.mails())
        if (mail.find("To: storm@example.org\n") != std::string::npos)
            for (auto i = mail.find("Raised:    "); i != std::string::npos;
                 i = mail.find("Raised:    ", i + 1))
                ++named;
    std::printf(
        "notify p50_ms=%.0f p95_ms=%.0f max_ms=%.0f rounds=%d storm_mails=%zu storm_alarms_named=%zu\n",
        at(0.5), at(0.95), delays.back(), rounds, mailsTo(sink, "storm@example.org"), named);
    return 0;
}
