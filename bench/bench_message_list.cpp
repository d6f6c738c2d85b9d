// Floods the alarms and messages window the way a misbehaving instrument
// would: a million messages, each handed over as one posted event like the
// ORB thread's hand-off, with the window shown. A flood of blocking hand-offs
// gives the GUI thread one message per event-loop pass, hence the default of
// one; the second argument packs more into a pass. Prints the append rate,
// the longest event-loop pass and the peak memory of the process; fails when
// the peak reaches 300 MB or a message is missing. Then, with the list full,
// messages come through the hand-off from another thread at 10,000 a second
// for five seconds, as from the ORB thread, and the longest stall of the GUI
// thread (the longest gap between ticks of a 1 ms timer) is printed.
//
//   bench_message_list [messages [messages-per-pass]]
#include "handoff.h"
#include "link_state.h"
#include "message_list_model.h"
#include "peak_resident.h"
#include "resources.h"
#include "statusdialog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTableView>
#include <QTimer>

#include <kov.hh>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <time.h>

namespace {

const long peakLimitKb = 300L * 1024;

// Message n: about 60 characters, seven in ten plain messages, two warnings,
// one alarm.
KOV::Message makeMessage(unsigned n)
{
    char text[128];
    switch (n % 5) {
    case 0:
        std::snprintf(text, sizeof text, "Electronics housing temperature %.1f °C, warning at 24.0 °C",
            20.0 + (n % 80) / 10.0);
        break;
    case 1:
        std::snprintf(text, sizeof text, "Spectrograph housing humidity %.1f %%, over limit at 60.0 %%",
            40.0 + (n % 300) / 10.0);
        break;
    case 2:
        std::snprintf(
            text, sizeof text, "Detector readout %u finished, %u frames written to disk", n, n % 97);
        break;
    case 3:
        std::snprintf(
            text, sizeof text, "Shutter closed after exposure %u, total exposure %u s", n, n % 3600);
        break;
    default:
        std::snprintf(text, sizeof text, "Water sensor check in electronics housing, pump cycle %u", n);
        break;
    }
    KOV::Message m;
    m.text = static_cast<const char*>(text);
    const unsigned tenth = n % 10;
    m.priority = tenth < 7 ? MESSAGE : tenth < 9 ? WARNING : ALARM;
    m.arrival_time = 1700000000ULL + n / 10;
    return m;
}

// Processor time of this thread, which the other programs on a shared
// machine do not inflate the way they inflate wall-clock time.
qint64 threadCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

struct PassTimes {
    qint64 worstNs = 0;
    qint64 worstCpuNs = 0;
    qint64 totalNs = 0;
    long count = 0;

    // Runs one event-loop pass and counts it.
    qint64 run()
    {
        const qint64 cpu = threadCpuNs();
        QElapsedTimer pass;
        pass.start();
        QCoreApplication::processEvents();
        const qint64 ns = pass.nsecsElapsed();
        worstNs = std::max(worstNs, ns);
        worstCpuNs = std::max(worstCpuNs, threadCpuNs() - cpu);
        totalNs += ns;
        ++count;
        return ns;
    }
};

// Gives every handed-off message to the window, as the main window does.
class ToStatusDialog : public HandoffReceiver {
public:
    explicit ToStatusDialog(CKovStatusDialog& dialog) : dialog_(dialog) {}
    void OnEvent(const CORBA::TypeCode*, const void* value) override
    {
        dialog_.OnMessage(static_cast<const KOV::Message*>(value));
    }

private:
    CKovStatusDialog& dialog_;
};

struct Flood {
    long sent = 0;
    double stallMs = 0;
};

// Messages numbered from `first` at `rate` a second for `seconds`, each a
// blocking hand-off from a thread of their own.
Flood floodThroughHandoff(CKovStatusDialog& dialog, long first, long rate, int seconds)
{
    ToStatusDialog receiver(dialog);
    Handoff handoff(&receiver);
    std::atomic<bool> over{false};
    std::atomic<long> sent{0};
    std::thread sender([&] {
        const auto start = std::chrono::steady_clock::now();
        for (long i = 0; !over; ++i) {
            std::this_thread::sleep_until(start + std::chrono::nanoseconds(i * 1000000000LL / rate));
            const KOV::Message m = makeMessage(static_cast<unsigned>(first + i));
            if (!handoff.send(KOV::_tc_Message, &m))
                return;
            ++sent;
        }
    });
    qint64 worstNs = 0;
    QElapsedTimer sinceBeat;
    sinceBeat.start();
    QTimer beat;
    beat.setTimerType(Qt::PreciseTimer);
    QObject::connect(&beat, &QTimer::timeout, [&] {
        worstNs = std::max(worstNs, sinceBeat.nsecsElapsed());
        sinceBeat.start();
    });
    beat.start(1);
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    over = true;
    handoff.close();
    sender.join();
    return Flood{sent.load(), worstNs / 1e6};
}

} // namespace

int main(int argc, char** argv)
{
    const long messages = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1000000;
    const long perPass = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 1;
    if (messages <= 0 || perPass <= 0) {
        std::fprintf(stderr, "usage: %s [messages [messages-per-pass]]\n", argv[0]);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Resources::init();

    LinkState state;
    CKovStatusDialog dialog(state, nullptr);
    dialog.Create();
    dialog.show();
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();

    PassTimes passes;
    QElapsedTimer all;
    all.start();
    const long tenth = std::max(1L, messages / 10);
    qint64 firstTenthNs = 0;
    qint64 lastTenthFromNs = 0;
    for (long n = 0; n < messages;) {
        if (n >= tenth && firstTenthNs == 0)
            firstTenthNs = all.nsecsElapsed();
        if (n >= messages - tenth && lastTenthFromNs == 0)
            lastTenthFromNs = all.nsecsElapsed();
        for (const long end = std::min(messages, n + perPass); n < end; ++n)
            QMetaObject::invokeMethod(
                &dialog, [&dialog, m = makeMessage(static_cast<unsigned>(n))] { dialog.OnMessage(&m); },
                Qt::QueuedConnection);
        passes.run();
    }
    const double seconds = all.nsecsElapsed() / 1e9;
    const qint64 fillEndNs = all.nsecsElapsed();

    // The last rows reach the view with the next frame.
    QElapsedTimer settle;
    settle.start();
    while (dialog.model()->rowCount() < messages && settle.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);

    // The operator jumps to the newest message.
    dialog.findChild<QTableView*>()->scrollToBottom();
    const qint64 jumpNs = PassTimes().run();

    const long peakKb = peakResidentKb();
    const QAbstractItemModel* shown = dialog.model();
    const KOV::Message last = makeMessage(static_cast<unsigned>(messages - 1));
    const bool complete = dialog.rowCount() == messages && shown->rowCount() == messages &&
        shown->index(static_cast<int>(messages - 1), MessageListModel::MessageColumn).data().toString() ==
            QString::fromUtf8(last.text.in());

    std::printf("messages           %ld (%ld per event-loop pass)\n", messages, perPass);
    std::printf("rows/second        %.0f (%.2f s)\n", messages / seconds, seconds);
    std::printf("worst pass         %.2f ms, %.2f ms of processor time (mean %.3f ms over %ld passes)\n",
        passes.worstNs / 1e6, passes.worstCpuNs / 1e6, passes.totalNs / 1e6 / passes.count, passes.count);
    std::printf("append us          %.2f first 10%%, %.2f last 10%%\n", firstTenthNs / 1e3 / tenth,
        (fillEndNs - lastTenthFromNs) / 1e3 / tenth);
    std::printf("jump to last row   %.2f ms\n", jumpNs / 1e6);
    std::printf("peak resident      %.1f MB (limit %ld MB)\n", peakKb / 1024.0, peakLimitKb / 1024);
    // The journal's filter over the full list, as the operator uses it: a
    // priority, a word typed letter by letter, a letter beyond ASCII; each
    // with the list's repaint.
    const auto filterMs = [&dialog](int priority, const QString& text) {
        QElapsedTimer timer;
        timer.start();
        dialog.model()->setFilter(priority, text);
        QCoreApplication::processEvents();
        return timer.nsecsElapsed() / 1e6;
    };
    const double priorityMs = filterMs(2, QString());
    filterMs(-1, QString());
    double typingMs = 0;
    for (const QString& typed : {"p", "pu", "pum", "pump"})
        typingMs = std::max(typingMs, filterMs(-1, typed));
    const double degreesMs = filterMs(-1, QStringLiteral("°c"));
    const double wideMs = filterMs(-1, QStringLiteral("ω"));
    const double clearMs = filterMs(-1, QString());
    std::printf(
        "filter ms          %.1f priority, %.1f typing (worst letter), %.1f °c, %.1f ω (Unicode case), %.1f "
        "cleared\n",
        priorityMs, typingMs, degreesMs, wideMs, clearMs);
    const long rate = 10000;
    const Flood flood = floodThroughHandoff(dialog, messages, rate, 5);
    std::printf("longest stall      %.2f ms (%ld messages at %ld a second through the hand-off)\n",
        flood.stallMs, flood.sent, rate);
    std::printf("peak resident now  %.1f MB\n", peakResidentKb() / 1024.0);
    if (!complete) {
        std::printf("FAIL: the list does not hold every message\n");
        return 1;
    }
    if (peakKb < 0 || peakKb >= peakLimitKb) {
        std::printf("FAIL: peak resident memory\n");
        return 1;
    }
    return 0;
}
