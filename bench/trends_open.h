#pragma once

#include "trendplot.h"
#include "trendsdialog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdint>
#include <vector>

// What the trends benchmarks share.
inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

// From choosing the last `spanMs` to every plot drawn and painted; -1 when
// the history did not answer within `limitMs`.
inline double openMs(CTrendsDialog& dialog, std::int64_t spanMs, int limitMs = 10000)
{
    QElapsedTimer timer;
    timer.start();
    bool shown = false;
    // Waited for in an event loop: a loop of processEvents() would spin and
    // take the processor from the reader thread.
    QEventLoop wait;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &wait, &QEventLoop::quit);
    QMetaObject::Connection c = QObject::connect(&dialog, &CTrendsDialog::historyShown, [&] {
        shown = true;
        wait.quit();
    });
    dialog.showLast(spanMs);
    limit.start(limitMs);
    if (!shown)
        wait.exec();
    QObject::disconnect(c);
    dialog.flushNow();
    for (int housing = 0; housing < 2; ++housing)
        for (auto q : {History::Quantity::Temperature, History::Quantity::Humidity})
            dialog.plot(housing, q)->repaint();
    return shown ? timer.nsecsElapsed() / 1e6 : -1;
}
