// Fills a history file as a client would have over DAYS days up to now: one
// reading a second per housing (a daily swing, noise, now and then a spike
// or no data), the setpoints at the start and a change every third day, the
// link lost for five minutes once a day (no readings then), a message an
// hour, and the alarm journal of it all (the link's loss and each spike to
// the over-limit setpoint raised, cleared and acknowledged, as the engine
// journals them). Written through the store as the writer does, rollups
// included.
//
//   bench_history_fill PATH DAYS
//
// Prints readings, seconds, file_bytes and bytes_per_reading.
#include "alarm_point.h"
#include "history_store.h"

#include <QCoreApplication>
#include <QDateTime>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

using namespace History;

namespace {

constexpr std::int64_t dayMs = 86'400'000;

class Noise {
public:
    double next()
    {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(state_ >> 11) / 9007199254740992.0 - 0.5;
    }

private:
    std::uint64_t state_ = 42;
};

// The whole set at the start (old equal to new), as the client records it.
void snapshot(Batch& batch, std::int64_t timeMs)
{
    for (int housing = 0; housing < Housing::count; ++housing) {
        const std::pair<Setpoint, double> values[] = {{Setpoint::TempWarning, 24.0},
            {Setpoint::OverTemp, 32.0}, {Setpoint::RhWarning, 35.0}, {Setpoint::OverRh, 60.0}};
        for (const auto& [which, value] : values)
            batch.events.push_back(SetpointChange{housing, which, value, value, timeMs});
    }
}

// An alarm raised, cleared a second later and acknowledged after two
// minutes.
void alarm(Batch& batch, AlarmPoint point, std::int64_t timeMs, std::int64_t clearedMs)
{
    batch.events.push_back(AlarmRecord{AlarmAction::Raised, point.name(), "kov", timeMs, point.key()});
    batch.events.push_back(AlarmRecord{AlarmAction::Cleared, point.name(), "kov", clearedMs, point.key()});
    batch.events.push_back(
        AlarmRecord{AlarmAction::Acknowledged, point.name(), "operator", timeMs + 120'000, point.key()});
}

// Both temperature setpoints of both housings moved from +from to +to.
void change(Batch& batch, std::int64_t timeMs, double from, double to)
{
    for (int housing = 0; housing < Housing::count; ++housing) {
        batch.events.push_back(
            SetpointChange{housing, Setpoint::TempWarning, 24.0 + from, 24.0 + to, timeMs});
        batch.events.push_back(SetpointChange{housing, Setpoint::OverTemp, 32.0 + from, 32.0 + to, timeMs});
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3 || std::atof(argv[2]) <= 0) {
        std::fprintf(stderr, "usage: bench_history_fill PATH DAYS\n");
        return 2;
    }
    const std::string path = argv[1];
    if (std::filesystem::exists(path)) {
        std::fprintf(stderr, "bench_history_fill: %s exists; remove it first\n", path.c_str());
        return 1;
    }
    QCoreApplication app(argc, argv);
    const double days = std::atof(argv[2]);
    const std::int64_t end = QDateTime::currentMSecsSinceEpoch() / 1000 * 1000;
    const std::int64_t start = end - static_cast<std::int64_t>(days * dayMs);

    const auto began = std::chrono::steady_clock::now();
    HistoryStore store(path, "fill");
    if (store.open() != Fault::None) {
        std::fprintf(stderr, "bench_history_fill: %s\n", store.lastError().c_str());
        return 1;
    }
    Noise noise;
    Batch batch;
    snapshot(batch, start);
    batch.events.push_back(LinkChange{LinkEvent::Connected, "", start});
    long long readings = 0;
    for (std::int64_t t = start; t < end; t += 1000) {
        const std::int64_t ofDay = (t - start) % dayMs;
        if (ofDay == dayMs / 2) {
            batch.events.push_back(LinkChange{LinkEvent::Lost, "the instrument did not answer", t});
            alarm(batch, AlarmPoint::link(), t, t + 300'000);
        }
        if (ofDay == dayMs / 2 + 300'000)
            batch.events.push_back(LinkChange{LinkEvent::Reconnected, "", t});
        if (ofDay >= dayMs / 2 && ofDay < dayMs / 2 + 300'000)
            continue;
        if (ofDay % 3'600'000 == 0)
            batch.events.push_back(MessageRecord{0, t / 1000, t, "Hourly status: all housings nominal"});
        if ((t - start) % (3 * dayMs) == 0 && t != start) {
            const bool up = ((t - start) / (3 * dayMs)) % 2 == 1;
            change(batch, t, up ? 0.0 : 0.5, up ? 0.5 : 0.0);
        }
        const double swing = std::sin(2 * M_PI * static_cast<double>(ofDay) / dayMs);
        for (int housing = 0; housing < Housing::count; ++housing) {
            double temperature = 22.0 + housing + 3.0 * swing + 0.2 * noise.next();
            const double humidity = 40.0 - 5.0 * swing + 0.5 * noise.next();
            if (noise.next() > 0.49999) {
                temperature += 8.0; // a one-sample spike
                if (temperature >= 32.0)
                    alarm(batch, {AlarmPoint::Kind::Temperature, housing}, t, t + 1000);
            }
            const bool gap = noise.next() > 0.49995;
            batch.readings.push_back(Reading{housing, t / 1000, t, gap ? noData : temperature,
                gap ? noData : humidity, noise.next() > 0.49999});
            ++readings;
        }
        if (batch.readings.size() >= 20000) {
            if (store.write(batch) != Fault::None) {
                std::fprintf(stderr, "bench_history_fill: %s\n", store.lastError().c_str());
                return 1;
            }
            batch.clear();
        }
    }
    if (store.write(batch) != Fault::None || store.finishRollups() != Fault::None) {
        std::fprintf(stderr, "bench_history_fill: %s\n", store.lastError().c_str());
        return 1;
    }
    store.close(); // the last connection checkpoints and removes the WAL
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    std::uintmax_t bytes = std::filesystem::file_size(path);
    for (const char* suffix : {"-wal", "-shm"})
        if (std::filesystem::exists(path + suffix))
            bytes += std::filesystem::file_size(path + suffix);
    std::printf("readings=%lld seconds=%.1f file_bytes=%llu bytes_per_reading=%.1f\n", readings, seconds,
        static_cast<unsigned long long>(bytes), static_cast<double>(bytes) / readings);
    return 0;
}
