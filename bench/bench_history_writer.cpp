// The history writer behind the main window, in one process: readings go
// through CKovClientDialog::OnEvent on the GUI thread as the hand-off would
// give them, with the recorder attached (on) or not (off).
//
//   bench_history_writer paced [SECONDS]   10,000 readings a second, recording on
//   bench_history_writer rate [ROUNDS]     as fast as possible, on and off in turn
//
// paced prints: push_max_ms, push_p99_us, loop_max_ms (longest event-loop
// pass), thinned, stored (readings in the file afterwards), pushed.
// rate prints: on_per_s, off_per_s, ratio, on_p99_us, off_p99_us.
#include "alarm_setpoints.h"
#include "client_events.h"
#include "clientdialog.h"
#include "fake_host.h"
#include "history_recorder.h"
#include "progressdialog.h"
#include "resources.h"
#include "sqlite_history_source.h"

#include <kov.hh>

#include <QApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * (values.size() - 1))];
}

KOV::HousekeepingData reading(std::int64_t i)
{
    KOV::HousekeepingData data;
    data.id = static_cast<HousingID>(i % 2);
    data.temp = 20.0 + std::sin(i * 0.001);
    data.rh = 40.0 + std::cos(i * 0.001);
    data.wateralarm = false;
    data.readingTime = static_cast<TimeBase::TimeT>(i);
    return data;
}

struct Window {
    FakeHost host;
    CKovClientDialog dialog{host};
    Window()
    {
        host.link.SetConnected(1);
        dialog.Create();
        dialog.progressDialog()->hide();
        dialog.show();
        QCoreApplication::processEvents();
    }
};

// Pushes for `seconds` at `perSecond` (0: as fast as possible); per-push
// times in microseconds.
std::vector<double> push(
    Window& window, double seconds, double perSecond, double& loopMaxMs, std::int64_t& count)
{
    std::vector<double> times;
    times.reserve(static_cast<std::size_t>(perSecond > 0 ? perSecond * seconds : 4e6));
    const Clock::time_point start = Clock::now();
    Clock::time_point nextLoop = start;
    loopMaxMs = 0;
    for (count = 0;; ++count) {
        Clock::time_point now = Clock::now();
        if (now - start >= std::chrono::duration<double>(seconds))
            break;
        if (perSecond > 0)
            while (now - start < std::chrono::duration<double>(count / perSecond))
                now = Clock::now();
        if (now >= nextLoop) {
            QCoreApplication::processEvents();
            const Clock::time_point after = Clock::now();
            loopMaxMs = std::max(loopMaxMs, std::chrono::duration<double, std::milli>(after - now).count());
            nextLoop = after + std::chrono::milliseconds(16);
        }
        const KOV::HousekeepingData data = reading(count);
        const Clock::time_point before = Clock::now();
        window.dialog.OnEvent(KOV::_tc_HousekeepingData, &data);
        times.push_back(std::chrono::duration<double, std::micro>(Clock::now() - before).count());
    }
    return times;
}

int paced(double seconds)
{
    QTemporaryDir dir;
    Window window;
    RecordedBoxes boxes;
    auto recorder = std::make_unique<HistoryRecorder>(dir.path().toStdString(), HistorySettings{}, boxes);
    recorder->attach(window.dialog.events(), &window.dialog);
    double loopMaxMs = 0;
    std::int64_t count = 0;
    const std::vector<double> times = push(window, seconds, 10000, loopMaxMs, count);
    const std::uint64_t thinned = recorder->writer()->thinned();
    recorder->stop(std::chrono::seconds(30));
    History::SqliteHistorySource source(recorder->path());
    const std::size_t stored =
        source.readings(0, 0, INT64_MAX).size() + source.readings(1, 0, INT64_MAX).size();
    std::printf("push_max_ms=%.3f push_p99_us=%.1f loop_max_ms=%.2f thinned=%llu stored=%zu pushed=%lld\n",
        *std::max_element(times.begin(), times.end()) / 1000.0, percentile(times, 0.99), loopMaxMs,
        static_cast<unsigned long long>(thinned), stored, static_cast<long long>(count));
    return 0;
}

int rate(int rounds)
{
    QTemporaryDir dir;
    Window window;
    RecordedBoxes boxes;
    std::vector<double> on, off, onTimes, offTimes;
    for (int round = 0; round < 2 * rounds; ++round) {
        const bool recording = round % 2 == 0;
        std::unique_ptr<HistoryRecorder> recorder;
        if (recording) {
            recorder = std::make_unique<HistoryRecorder>(dir.path().toStdString(), HistorySettings{}, boxes);
            recorder->attach(window.dialog.events(), &window.dialog);
        }
        double loopMaxMs = 0;
        std::int64_t count = 0;
        std::vector<double> times = push(window, 1.0, 0, loopMaxMs, count);
        (recording ? on : off).push_back(static_cast<double>(count));
        auto& all = recording ? onTimes : offTimes;
        all.insert(all.end(), times.begin(), times.end());
    }
    const double onRate = percentile(on, 0.5), offRate = percentile(off, 0.5);
    std::printf("on_per_s=%.0f off_per_s=%.0f ratio=%.2f on_p99_us=%.1f off_p99_us=%.1f\n", onRate, offRate,
        onRate / offRate, percentile(onTimes, 0.99), percentile(offTimes, 0.99));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const char* mode = argc > 1 ? argv[1] : "";
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    Resources::init();
    if (std::strcmp(mode, "paced") == 0)
        return paced(argc > 2 ? std::atof(argv[2]) : 5.0);
    if (std::strcmp(mode, "rate") == 0)
        return rate(argc > 2 ? std::atoi(argv[2]) : 3);
    std::fprintf(stderr, "usage: bench_history_writer paced [SECONDS] | rate [ROUNDS]\n");
    return 2;
}
