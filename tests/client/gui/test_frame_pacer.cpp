// Displays paint at the pace of the screen: any number of changes within a
// frame make one flush, and the last change always reaches the screen.
#include "frame_pacer.h"
#include "levelbar.h"

#include <QEvent>
#include <QTest>
#include <gtest/gtest.h>

namespace {

TEST(FramePacer, ABurstOfRequestsIsOneFlushAndThenNoTimerRuns)
{
    int flushes = 0;
    FramePacer pacer([&] { ++flushes; });
    EXPECT_FALSE(pacer.pending());
    for (int round = 1; round <= 2; ++round) {
        for (int i = 0; i < 100; ++i)
            pacer.request();
        EXPECT_TRUE(pacer.pending());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !pacer.pending(); }, 2000));
        EXPECT_EQ(flushes, round);
    }
}

TEST(FramePacer, FlushNowFlushesOnlyWhatIsDue)
{
    int flushes = 0;
    FramePacer pacer([&] { ++flushes; });
    pacer.flushNow();
    EXPECT_EQ(flushes, 0);
    pacer.request();
    pacer.flushNow();
    EXPECT_EQ(flushes, 1);
    EXPECT_FALSE(pacer.pending());
}

// What the gauge showed at its latest paint.
struct PaintedText : QObject {
    CLevelBar* gauge = nullptr;
    QString text;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            text = gauge->valueText();
        return false;
    }
};

TEST(FramePacer, TheLastOfAFloodOfReadingsIsPainted)
{
    CLevelBar gauge;
    gauge.resize(204, 30);
    gauge.Create(true, true, DisplayColour::gaugeWithin, DisplayColour::neutral);
    gauge.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&gauge));
    PaintedText painted;
    painted.gauge = &gauge;
    gauge.installEventFilter(&painted);
    for (int i = 0; i < 500; ++i) {
        gauge.SetValue(10.0 + i / 100.0, 0, 50);
        QCoreApplication::processEvents();
    }
    const QString last = gauge.valueText();
    EXPECT_EQ(last, QStringLiteral("14.99"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return painted.text == last; }, 2000)) << painted.text.toStdString();
}

} // namespace
