// The client side of the push benchmark, one receiver per run:
//   raw      a bare servant: the TypeCode test and the extraction, nothing else
//   handoff  the client's servant, each reading handed to the GUI thread,
//            where nobody handles it
//   window   the client's servant and its main window, shown with every
//            display it feeds: both housings' gauges and water boxes, both
//            setpoints windows, the alarms and messages window
//   trends   as window, and the trends window shown following the live
//            readings
// Prints the consumer's IOR as its first line, serves pushes until the
// pusher's "disconnect", then prints one line of figures of the window:
//   paints_per_s=N label_paints_per_s=N stale_p50_ms=N stale_p99_ms=N stale_max_ms=N shown=0|1
//   window_ms=N
// where staleness is the time from a reading's arrival to the first paint of
// the gauge after it, shown tells whether the last reading was painted, and
// window_ms is the time to create and show the windows.
//
//   bench_receiver raw|handoff|window|trends
//
// With KOV_BENCH_HISTORY=DIR the window's events are also recorded in
// DIR/kovhistory.db, as the client records them.
#include "alarmdialog.h"
#include "clientdialog.h"
#include "fake_host.h"
#include "handoff.h"
#include "handoff_host.h"
#include "history_recorder.h"
#include "kovevtconsumer_i.h"
#include "levelbar.h"
#include "payload_decoder.h"
#include "progressdialog.h"
#include "resources.h"
#include "statusdialog.h"
#include "trendsdialog.h"

#include <kov.hh>

#include <QApplication>
#include <QLabel>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::int64_t nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

// TypeCode test and extraction, as every receiver must do.
class RawConsumer : public POA_Event_Comm::Consumer {
public:
    explicit RawConsumer(std::atomic<bool>& over) : over_(over) {}
    void push(const Event_Comm::Event& ev) override
    {
        CORBA::TypeCode_var type = ev.value_.type();
        if (PayloadDecoder::classify(type.in()) != PayloadDecoder::Kind::Reading)
            return;
        const KOV::HousekeepingData* reading = nullptr;
        ev.value_ >>= reading;
    }
    void disconnect(const char*) override { over_ = true; }

private:
    std::atomic<bool>& over_;
};

// Figures of the window, all on the GUI thread.
struct WindowFigures : QObject {
    std::int64_t unpaintedSinceNs = 0; // arrival of the oldest reading not painted yet
    std::int64_t firstArrivalNs = 0;
    std::int64_t lastArrivalNs = 0;
    std::vector<std::int64_t> gaugePaintNs;
    std::vector<std::int64_t> labelPaintNs; // both reading labels of the setpoints window
    std::vector<double> staleMs;
    QObject* gauge = nullptr;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Paint || firstArrivalNs == 0)
            return false;
        if (watched != gauge) {
            labelPaintNs.push_back(nowNs());
            return false;
        }
        gaugePaintNs.push_back(nowNs());
        if (unpaintedSinceNs != 0)
            staleMs.push_back((nowNs() - unpaintedSinceNs) / 1e6);
        unpaintedSinceNs = 0;
        return false;
    }
};

// The main window behind the hand-off, stamping what it has been given.
class WindowReceiver : public HandoffReceiver {
public:
    WindowReceiver(
        CKovClientDialog& dialog, const std::atomic<std::int64_t>& arrivalNs, WindowFigures& figures)
        : dialog_(dialog), arrivalNs_(arrivalNs), figures_(figures)
    {}
    void OnEvent(const CORBA::TypeCode* type, const void* value) override
    {
        dialog_.OnEvent(type, value);
        if (PayloadDecoder::classify(type) != PayloadDecoder::Kind::Reading)
            return;
        const std::int64_t arrival = arrivalNs_.load(std::memory_order_relaxed);
        if (figures_.firstArrivalNs == 0)
            figures_.firstArrivalNs = arrival;
        figures_.lastArrivalNs = arrival;
        if (figures_.unpaintedSinceNs == 0)
            figures_.unpaintedSinceNs = arrival;
    }

private:
    CKovClientDialog& dialog_;
    const std::atomic<std::int64_t>& arrivalNs_;
    WindowFigures& figures_;
};

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(p * (values.size() - 1))];
}

void printFigures(const WindowFigures& f, bool shown, double windowMs)
{
    const double seconds = std::max(1e-9, (f.lastArrivalNs - f.firstArrivalNs) / 1e9);
    // The paints that showed the last readings after the flood are not part of its rate.
    const auto during = [&](const std::vector<std::int64_t>& paints) {
        return std::count_if(
            paints.begin(), paints.end(), [&](std::int64_t ns) { return ns <= f.lastArrivalNs; });
    };
    std::printf("paints_per_s=%.1f label_paints_per_s=%.1f stale_p50_ms=%.2f stale_p99_ms=%.2f "
                "stale_max_ms=%.2f shown=%d window_ms=%.1f\n",
        during(f.gaugePaintNs) / seconds, during(f.labelPaintNs) / 2.0 / seconds, percentile(f.staleMs, 0.5),
        percentile(f.staleMs, 0.99),
        f.staleMs.empty() ? -1.0 : *std::max_element(f.staleMs.begin(), f.staleMs.end()), shown ? 1 : 0);
}

// Every display the readings of housing 0 feed, shown.
void showAll(CKovClientDialog& dialog, WindowFigures& figures)
{
    dialog.show();
    dialog.statusDialog()->show();
    for (int housing = 0; housing < Housing::count; ++housing)
        dialog.alarmDialog(housing)->show();
    figures.gauge = dialog.temperatureGauge(0);
    dialog.temperatureGauge(0)->installEventFilter(&figures);
    for (const char* name : {"currentTempValue", "currentRhValue"})
        dialog.alarmDialog(0)->findChild<QLabel*>(name)->installEventFilter(&figures);
}

} // namespace

int main(int argc, char** argv)
{
    const char* mode = argc > 1 ? argv[1] : "";
    const bool raw = std::strcmp(mode, "raw") == 0;
    const bool trends = std::strcmp(mode, "trends") == 0;
    const bool window = trends || std::strcmp(mode, "window") == 0;
    if (!raw && !window && std::strcmp(mode, "handoff") != 0) {
        std::fprintf(stderr, "usage: bench_receiver raw|handoff|window|trends\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    Resources::init();

    int orbArgc = 2;
    char opt[] = "-ORBendPoint";
    char value[] = "giop:tcp:127.0.0.1:";
    char* orbArgv[] = {opt, value, nullptr};
    CORBA::ORB_var orb = CORBA::ORB_init(orbArgc, orbArgv);
    CORBA::Object_var object = orb->resolve_initial_references("RootPOA");
    PortableServer::POA_var poa = PortableServer::POA::_narrow(object.in());

    std::atomic<bool> over{false};
    Handoff handoff;
    handoff.setReceiverUp(true);
    // Each payload's arrival, stamped for the window's staleness.
    std::atomic<std::int64_t> arrivalNs{0};
    HandoffHost consumerHost(handoff);
    consumerHost.beforeHandOff = [&arrivalNs] { arrivalNs.store(nowNs(), std::memory_order_relaxed); };
    FakeHost clientHost;
    clientHost.link.SetConnected(1);
    WindowFigures figures;
    std::unique_ptr<CKovClientDialog> dialog;
    std::unique_ptr<WindowReceiver> receiver;
    double windowMs = 0;
    std::unique_ptr<HistoryRecorder> history;
    if (window) {
        // From nothing to every window shown and painted once.
        const Clock::time_point start = Clock::now();
        dialog = std::make_unique<CKovClientDialog>(clientHost);
        dialog->Create();
        dialog->progressDialog()->hide();
        showAll(*dialog, figures);
        if (trends)
            dialog->trendsDialog()->show();
        QCoreApplication::processEvents();
        windowMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        receiver = std::make_unique<WindowReceiver>(*dialog, arrivalNs, figures);
        if (!qEnvironmentVariableIsEmpty("KOV_BENCH_HISTORY")) {
            history = std::make_unique<HistoryRecorder>(
                qEnvironmentVariable("KOV_BENCH_HISTORY").toStdString(), HistorySettings{}, clientHost.boxes);
            history->attach(dialog->events(), dialog.get());
        }
        handoff.setReceiver(receiver.get());
    }

    std::unique_ptr<PortableServer::ServantBase> servant;
    if (raw)
        servant = std::make_unique<RawConsumer>(over);
    else
        servant = std::make_unique<KOVEventConsumer_i>(&consumerHost);
    PortableServer::ObjectId_var id = poa->activate_object(servant.get());
    CORBA::Object_var reference = poa->id_to_reference(id.in());
    PortableServer::POAManager_var manager = poa->the_POAManager();
    manager->activate();
    CORBA::String_var ior = orb->object_to_string(reference.in());
    std::printf("%s\n", ior.in());
    std::fflush(stdout);

    // Bounded: a pusher that never says "disconnect" ends the run in 10 minutes.
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &app, [&] {
        // exit, not quit: quit first asks every window to close, and the main
        // window answers that with its own exit.
        if (over || !consumerHost.drops().empty())
            QCoreApplication::exit(0);
    });
    watch.start(50);
    QTimer::singleShot(600000, &app, [] { QCoreApplication::exit(0); });
    app.exec();

    // Let the last paints through before the figures.
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
    if (window) {
        printFigures(figures, figures.unpaintedSinceNs == 0, windowMs);
    } else {
        std::printf("paints_per_s=0\n");
    }
    std::fflush(stdout);

    handoff.close();
    history.reset();
    orb->destroy();
    return 0;
}
