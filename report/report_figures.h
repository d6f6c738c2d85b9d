#pragma once

#include "history_source.h"
#include "housing.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The figures of one shift report, computed from what the history's
// database aggregates (no Qt). The alarm figures are those control rooms
// are judged by (ISA-18.2, EEMUA 191); their targets are in targets().
namespace Report {

// Alarms in more than this many per window are a flood.
inline constexpr std::int64_t floodWindowMs = 10 * 60 * 1000;
inline constexpr int floodAbove = 10;
inline constexpr int busyHourAbove = 30;
inline constexpr int chatterRaises = 3; // within a minute
inline constexpr std::int64_t standingMs = 24 * 3600 * 1000LL;
inline constexpr std::int64_t longestShelfMs = 8 * 3600 * 1000LL;
// Ranges longer than this read the per-minute rollups where they can.
inline constexpr std::int64_t rawRangeMs = 3 * 24 * 3600 * 1000LL;

struct Request {
    std::string instrument = "KOV";
    std::int64_t fromMs = 0;
    std::int64_t toMs = 0;
    std::int64_t madeMs = 0;                      // when the report is made (UTC)
    std::int64_t staleMs = 60000;                 // a gap longer than this is missing data
    int trendColumns = 720;                       // buckets per trend
    int eventRows = 2000;                         // rows of the table of events at most
    std::int64_t rawRangeMs = Report::rawRangeMs; // longer ranges read the rollups where they can
};

struct QuantityFigures {
    long long count = 0; // readings with a value
    double least = History::noData, mean = History::noData, greatest = History::noData;
    std::int64_t warningMs = 0;
    std::int64_t overMs = 0;
};

struct HousingFigures {
    QuantityFigures temperature, humidity;
    std::int64_t waterMs = 0;
    long long readings = 0;
    long long expected = 0; // 0 when the usual interval is not known
    std::int64_t usualIntervalMs = 0;
    // Missing stretches longer than the stale limit, the range's start and
    // end (or the time the report was made) counting as readings.
    std::vector<History::ReadingGap> gaps;
    std::int64_t gapMs = 0, longestGapMs = 0;
    // The setpoints over the range, for the trends' limit lines.
    std::vector<History::SetpointsInForce> setpoints;
    std::vector<History::MinuteRollup> trend;
    // received / expected in 0..1; none without an expectation.
    std::optional<double> completeness() const;
};

// One alarm point as the report lists it.
struct PointFigures {
    std::string key;  // "electronics.temperature"; the name where none is known
    std::string name; // as the journal has it
    long long raised = 0;
    double share = 0.0; // of all raises, 0..1
    int mostInAMinute = 0;
    std::int64_t shelvedMs = 0;
    std::int64_t longestActiveMs = 0;                  // the longest time active, to the range's end
    std::optional<std::int64_t> unacknowledgedSinceMs; // at the range's end
    bool chattering() const { return mostInAMinute >= chatterRaises; }
    bool standing() const { return longestActiveMs > standingMs; }
};

// A row of the table of events: alarms, warnings and operator actions.
struct EventRow {
    std::int64_t timeMs = 0;
    std::string kind; // "raised", "acknowledged", "warning", "setpoint", ...
    std::string what; // the point, the message, the setpoint
    std::string user;
    std::string detail; // comment, value, shelf end, old -> new
};

struct Figures {
    Request request;
    std::string source;
    std::array<HousingFigures, Housing::count> housings;

    std::vector<History::LinkOutage> outages; // clipped to the range
    std::int64_t outageMs = 0, longestOutageMs = 0;

    long long raised = 0;
    double perHour = 0.0, perDay = 0.0;
    int busiestCount = 0;
    std::int64_t busiestFromMs = 0;
    int windows = 0, floodWindows = 0;
    int hours = 0, busyHours = 0;
    std::vector<PointFigures> points; // most raised first, then the others with something to tell
    double topTenShare = 0.0;
    long long acknowledged = 0;
    std::optional<std::int64_t> acknowledgeP50Ms, acknowledgeP95Ms;
    std::vector<History::AlarmSpan> spans; // clipped to the range, for the timeline

    std::vector<EventRow> events; // in time order, at most request.eventRows
    bool eventsLeftOut = false;   // the range held more

    int chatteringPoints() const;
    int standingPoints() const;
    int unacknowledgedPoints() const;
    std::int64_t shelvedMs() const;
    // The length the rates and the completeness are taken over: from the
    // range's start to its end or to when the report was made.
    std::int64_t coveredMs() const;
};

// The length of one bucket of the trends: whole seconds, and whole minutes
// from a minute on (those come from the per-minute rollups).
std::int64_t trendBucketMs(const Request& request);

// Each alarm figure beside its guideline's target.
struct Target {
    std::string figure;
    std::string measured; // as a person reads it
    std::string target;   // empty: the guideline sets none
    bool met = true;
    double value = History::noData; // for a spreadsheet, in `unit`
    std::string unit;
};
std::vector<Target> targets(const Figures& figures);

// The share as "12.5 %", a value as "21.3", a count with its share.
std::string percent(double share);

// Told of each step (0..100); false stops the work.
using Progress = std::function<bool(int percent, const std::string& step)>;

// Reads and computes everything; false when the source failed (`error`
// says why) or the progress said stop (`error` empty).
bool compute(History::HistorySource& source, const Request& request, const Progress& progress,
    Figures& figures, std::string& error);

// The point's stable key for a journal name ("Electronics housing water
// sensor" -> "electronics.water"); the name itself where none matches.
std::string pointKey(const std::string& name);

} // namespace Report
