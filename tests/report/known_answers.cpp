#include "known_answers.h"

#include "made_up_history.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

using Report::Figures;

namespace {

constexpr double s = 1000.0, min = 60 * s, h = 60 * min;

struct Answer {
    const char* figure;
    std::function<double(const Figures&)> measured;
    double expected;
};

const Report::PointFigures* point(const Figures& f, const std::string& key)
{
    for (const Report::PointFigures& p : f.points)
        if (p.key == key)
            return &p;
    return nullptr;
}

double of(const Figures& f, const std::string& key, double Report::PointFigures::*field)
{
    const Report::PointFigures* p = point(f, key);
    return p ? p->*field : -1;
}

// Readings every 10 s. Electronics: 8,640 a day less 30 in the gap; one
// without a temperature, one with -1.0 humidity; 25 °C for 360 readings,
// 33 °C for 60, 20 °C for the other 8,189; warning also for the 1,440
// readings after 20:00 (level 19 °C); 36 %RH for 180, 30 %RH for the rest.
const Answer answers[] = {
    {"electronics readings", [](const Figures& f) { return f.housings[0].readings; }, 8610},
    {"electronics expected", [](const Figures& f) { return f.housings[0].expected; }, 8640},
    {"electronics usual interval", [](const Figures& f) { return f.housings[0].usualIntervalMs; }, 10 * s},
    {"electronics temperature values", [](const Figures& f) { return f.housings[0].temperature.count; },
        8609},
    {"electronics temperature least", [](const Figures& f) { return f.housings[0].temperature.least; }, 20.0},
    {"electronics temperature greatest", [](const Figures& f) { return f.housings[0].temperature.greatest; },
        33.0},
    {"electronics temperature mean", [](const Figures& f) { return f.housings[0].temperature.mean; },
        (20.0 * 8189 + 25.0 * 360 + 33.0 * 60) / 8609},
    {"electronics temperature in warning",
        [](const Figures& f) { return f.housings[0].temperature.warningMs; }, (360 + 1440) * 10 * s},
    {"electronics temperature over limit", [](const Figures& f) { return f.housings[0].temperature.overMs; },
        10 * min},
    {"electronics humidity least", [](const Figures& f) { return f.housings[0].humidity.least; }, 30.0},
    {"electronics humidity greatest", [](const Figures& f) { return f.housings[0].humidity.greatest; }, 36.0},
    {"electronics humidity mean", [](const Figures& f) { return f.housings[0].humidity.mean; },
        (30.0 * 8429 + 36.0 * 180) / 8609},
    {"electronics humidity in warning", [](const Figures& f) { return f.housings[0].humidity.warningMs; },
        30 * min},
    {"electronics humidity over limit", [](const Figures& f) { return f.housings[0].humidity.overMs; }, 0},
    {"electronics water in alarm", [](const Figures& f) { return f.housings[0].waterMs; }, 30 * s},
    // Trend buckets of 2 min: 720, less the two wholly in the gap; the -1.0
    // at 06:00:20 left out of its bucket's mean.
    {"electronics trend buckets", [](const Figures& f) { return f.housings[0].trend.size(); }, 718},
    {"electronics trend greatest",
        [](const Figures& f) {
            double most = 0;
            for (const History::MinuteRollup& b : f.housings[0].trend)
                most = std::max(most, b.maxTemperature);
            return most;
        },
        33.0},
    {"electronics humidity mean 06:00-06:02",
        [](const Figures& f) {
            for (const History::MinuteRollup& b : f.housings[0].trend)
                if (b.minuteMs == MadeUpHistory::dayStartMs + 6 * h)
                    return b.meanHumidity;
            return -1.0;
        },
        30.0},
    // The gap 08:59:50 to 09:05:00, nothing at either end.
    {"electronics gaps", [](const Figures& f) { return f.housings[0].gaps.size(); }, 1},
    {"electronics gap time", [](const Figures& f) { return f.housings[0].gapMs; }, 310 * s},
    {"electronics completeness", [](const Figures& f) { return *f.housings[0].completeness(); },
        8610.0 / 8640},
    // Only until noon (and not in the gap): the last reading 11:59:50, then
    // nothing to 24:00.
    {"spectrometer readings", [](const Figures& f) { return f.housings[1].readings; }, 4290},
    {"spectrometer completeness", [](const Figures& f) { return *f.housings[1].completeness(); },
        4290.0 / 8640},
    {"spectrometer gaps", [](const Figures& f) { return f.housings[1].gaps.size(); }, 2},
    {"spectrometer longest gap", [](const Figures& f) { return f.housings[1].longestGapMs; },
        12 * h + 10 * s},
    {"spectrometer temperature in warning",
        [](const Figures& f) { return f.housings[1].temperature.warningMs; }, 0},
    // Lost 09:00-09:05 and from 23:30 to the end; the client's own end at
    // 22:00 is none.
    {"link outages", [](const Figures& f) { return f.outages.size(); }, 2},
    {"link outage time", [](const Figures& f) { return f.outageMs; }, 35 * min},
    {"link longest outage", [](const Figures& f) { return f.longestOutageMs; }, 30 * min},
    // 16 raises: link 11 (16:00-16:05, 30 s apart), water 3 (15:00, 20 s
    // apart), temperature 1, spectrometer readings 1.
    {"alarms raised", [](const Figures& f) { return f.raised; }, 16},
    {"alarms per hour", [](const Figures& f) { return f.perHour; }, 16.0 / 24},
    {"busiest 10 minutes", [](const Figures& f) { return f.busiestCount; }, 11},
    {"busiest 10 minutes from", [](const Figures& f) { return f.busiestFromMs; },
        MadeUpHistory::dayStartMs + 16 * h},
    {"10-minute windows", [](const Figures& f) { return f.windows; }, 144},
    {"flood windows", [](const Figures& f) { return f.floodWindows; }, 1},
    {"hours over 30 alarms", [](const Figures& f) { return f.busyHours; }, 0},
    {"top ten share", [](const Figures& f) { return f.topTenShare; }, 1.0},
    {"link share", [](const Figures& f) { return of(f, "link", &Report::PointFigures::share); }, 11.0 / 16},
    {"most raised first", [](const Figures& f) { return f.points.empty() ? 0.0 : f.points[0].raised; }, 11},
    {"chattering points", [](const Figures& f) { return f.chatteringPoints(); }, 2},
    // Active from 10:00 the day before to 11:00: 25 h.
    {"standing points", [](const Figures& f) { return f.standingPoints(); }, 1},
    {"standing alarm's time active",
        [](const Figures& f) {
            const auto* p = point(f, "electronics.data");
            return p ? p->longestActiveMs : -1;
        },
        25 * h},
    // 120; 300, 280, 260; 1200 down to 900 by 30: the 8th and 15th of 15.
    {"acknowledged", [](const Figures& f) { return f.acknowledged; }, 15},
    {"acknowledge p50", [](const Figures& f) { return f.acknowledgeP50Ms.value_or(-1); }, 990 * s},
    {"acknowledge p95", [](const Figures& f) { return f.acknowledgeP95Ms.value_or(-1); }, 1200 * s},
    {"unacknowledged at the end", [](const Figures& f) { return f.unacknowledgedPoints(); }, 1},
    // 23:00 the day before, no end journalled: 8 h, 7 of them in the day;
    // 18:00-18:45.
    {"shelved spectrometer water",
        [](const Figures& f) {
            const auto* p = point(f, "spectrometer.water");
            return p ? p->shelvedMs : -1;
        },
        7 * h},
    {"shelved electronics humidity",
        [](const Figures& f) {
            const auto* p = point(f, "electronics.humidity");
            return p ? p->shelvedMs : -1;
        },
        45 * min},
    {"shelved in all", [](const Figures& f) { return f.shelvedMs(); }, 7 * h + 45 * min},
    // 38 alarm records, a warning and an alarm message, one setpoint change.
    {"events listed", [](const Figures& f) { return f.events.size(); }, 41},
};

} // namespace

void expectKnownAnswers(const Figures& figures, const std::string& source)
{
    for (const Answer& a : answers)
        EXPECT_NEAR(a.measured(figures), a.expected, 1e-6 * std::max(1.0, std::abs(a.expected)))
            << a.figure << " from " << source;
}

Report::Request madeUpRequest(bool perMinute)
{
    Report::Request request;
    request.fromMs = MadeUpHistory::dayStartMs;
    request.toMs = MadeUpHistory::dayStartMs + MadeUpHistory::dayMs;
    request.madeMs = request.toMs + 15 * 60 * 1000;
    request.rawRangeMs = perMinute ? 0 : Report::rawRangeMs;
    return request;
}
