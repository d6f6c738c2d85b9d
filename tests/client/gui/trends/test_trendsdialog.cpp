// The trends window fed as the main window feeds it, through ClientEvents,
// with a made-up history behind it.
#include "client_events.h"
#include "fake_history_source.h"
#include "fake_host.h"
#include "spin_until.h"
#include "trendplot.h"
#include "trendsdialog.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <chrono>

namespace {

using History::Quantity;

std::int64_t nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

struct TrendsWindow {
    explicit TrendsWindow(bool withHistory)
    {
        if (withHistory)
            host.history = [] {
                const std::int64_t now = nowMs();
                auto source =
                    std::make_unique<FakeHistorySource>(now - 2 * CTrendsDialog::dayMs, now - 60000);
                source->sets[1] = {{now - CTrendsDialog::dayMs, 20.0, 45.0, 30.0, 80.0}};
                return source;
            };
        dialog.Create();
        dialog.listenTo(events);
        dialog.show();
    }
    QString description(int housing, Quantity quantity) const
    {
        return dialog.plot(housing, quantity)->accessibleDescription();
    }

    FakeHost host;
    ClientEvents events;
    CTrendsDialog dialog{host, nullptr};
};

TEST(TrendsDialog, LiveReadingShowsInTheDescriptionWithinAFrame)
{
    TrendsWindow w(false);
    EXPECT_EQ(
        w.dialog.plot(0, Quantity::Temperature)->accessibleName(), "Electronics housing temperature trend");
    History::Reading reading{0, 1, nowMs(), 31.25, 47.5, false};
    emit w.events.reading(reading);
    reading.arrivalMs += 10;
    reading.temperature = History::noData;
    emit w.events.reading(reading);
    w.dialog.flushNow();
    EXPECT_TRUE(w.description(0, Quantity::Temperature).contains("Latest 31.25 °C"))
        << w.description(0, Quantity::Temperature).toStdString();
    EXPECT_TRUE(w.description(0, Quantity::Humidity).contains("maximum 47.50 %"));
    EXPECT_TRUE(w.description(1, Quantity::Humidity).contains("no readings"));
}

TEST(TrendsDialog, RangesReachBackIntoTheHistory)
{
    TrendsWindow w(true);
    QSignalSpy shown(&w.dialog, &CTrendsDialog::historyShown);
    w.dialog.showLast(CTrendsDialog::dayMs);
    ASSERT_TRUE(spinUntil([&] { return !shown.isEmpty(); }));
    w.dialog.flushNow();
    const QString text = w.description(1, Quantity::Temperature);
    EXPECT_TRUE(text.contains("minimum 20.") || text.contains("minimum 21.") || text.contains("minimum 22."))
        << text.toStdString();
    // The 30-day view reads rollups; a stale answer for the day is dropped.
    w.dialog.showLast(30 * CTrendsDialog::dayMs);
    w.dialog.showLast(7 * CTrendsDialog::dayMs);
    shown.clear();
    ASSERT_TRUE(spinUntil([&] { return !shown.isEmpty(); }));
    EXPECT_EQ(w.dialog.toMs() - w.dialog.fromMs(), 7 * CTrendsDialog::dayMs);
}

} // namespace
