// The trends window over 30 days of readings, one a second per housing (5.2
// million readings, made up on demand by the fake history, so that the
// figures are the window's own): time from choosing a range to its plots
// drawn, the cost of a frame while dragging, and the peak memory of the
// process. Prints one line of figures:
//   open30d_ms=N open24h_ms=N pan24h_p50_ms=N pan24h_max_ms=N pan30d_p50_ms=N pan30d_max_ms=N peak_mb=N
//
//   bench_trends [rounds]
#include "client_events.h"
#include "fake_history_source.h"
#include "fake_host.h"
#include "peak_resident.h"
#include "resources.h"
#include "trendplot.h"
#include "trends_open.h"
#include "trendsdialog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

// Frames of a drag: the range moved by a hundredth of its width each time.
std::vector<double> panFrames(CTrendsDialog& dialog, int frames)
{
    std::vector<double> ms;
    std::int64_t from = dialog.fromMs();
    std::int64_t to = dialog.toMs();
    const std::int64_t step = (to - from) / 100;
    for (int i = 0; i < frames; ++i) {
        from -= step;
        to -= step;
        QElapsedTimer timer;
        timer.start();
        dialog.showRange(from, to);
        dialog.flushNow();
        for (int housing = 0; housing < 2; ++housing)
            for (auto q : {History::Quantity::Temperature, History::Quantity::Humidity})
                dialog.plot(housing, q)->repaint();
        ms.push_back(timer.nsecsElapsed() / 1e6);
        QCoreApplication::processEvents();
    }
    return ms;
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Resources::init();

    using namespace std::chrono;
    const std::int64_t now = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    FakeHost host;
    host.history = [now] {
        auto source = std::make_unique<FakeHistorySource>(now - 30 * CTrendsDialog::dayMs, now);
        for (int housing = 0; housing < 2; ++housing)
            for (int day = 30; day > 0; day -= 3)
                source->sets[housing].push_back(
                    {now - day * CTrendsDialog::dayMs, 24.0 + day % 2, 32.0, 35.0, 60.0 - day % 5});
        return source;
    };
    ClientEvents events;
    CTrendsDialog dialog(host, nullptr);
    dialog.Create();
    dialog.listenTo(events);
    dialog.resize(1280, 800);
    dialog.show();
    QCoreApplication::processEvents();

    // The history's first answer computes its rollups: not the window's time.
    openMs(dialog, 30 * CTrendsDialog::dayMs);
    openMs(dialog, CTrendsDialog::hourMs);
    std::vector<double> open30, open24;
    // Each from the hour's view, so that each reads its range anew.
    for (int r = 0; r < rounds; ++r) {
        open30.push_back(openMs(dialog, 30 * CTrendsDialog::dayMs));
        openMs(dialog, CTrendsDialog::hourMs);
        open24.push_back(openMs(dialog, CTrendsDialog::dayMs));
        openMs(dialog, CTrendsDialog::hourMs);
    }
    const std::vector<double> pan24 = panFrames(dialog, 20);
    openMs(dialog, 30 * CTrendsDialog::dayMs);
    const std::vector<double> pan30 = panFrames(dialog, 20);
    std::printf("open30d_ms=%.1f open24h_ms=%.1f pan24h_p50_ms=%.2f pan24h_max_ms=%.2f pan30d_p50_ms=%.2f "
                "pan30d_max_ms=%.2f peak_mb=%.1f\n",
        median(open30), median(open24), median(pan24), *std::max_element(pan24.begin(), pan24.end()),
        median(pan30), *std::max_element(pan30.begin(), pan30.end()), peakResidentKb() / 1024.0);
    return 0;
}
