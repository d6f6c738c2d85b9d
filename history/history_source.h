#pragma once

#include "history_records.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace History {

// One channel of a housing's readings.
enum class Quantity {
    Temperature = 0,
    Humidity = 1
};

// Readings of one minute of one housing: per channel the least, greatest and
// mean finite value (noData when the minute had none), and the count of
// readings it summarises.
struct MinuteRollup {
    int housing = 0;
    std::int64_t minuteMs = 0; // start of the minute
    double minTemperature = noData, maxTemperature = noData, meanTemperature = noData;
    double minHumidity = noData, maxHumidity = noData, meanHumidity = noData;
    bool water = false; // the sensor was in alarm at some time in the minute
    int count = 0;
};

// The per-minute rollups of one housing over one bucket of time, summarised
// in the store: per channel the least and greatest value and the mean
// (weighted by the minutes' reading counts; noData when no value was
// finite), the first and the last minute with readings, and how many readings
// and minutes it summarises.
struct RollupBucket {
    int housing = 0;
    std::int64_t startMs = 0; // a whole number of bucket widths since 1970
    std::int64_t firstMinuteMs = 0, lastMinuteMs = 0;
    double minTemperature = noData, maxTemperature = noData, meanTemperature = noData;
    double minHumidity = noData, maxHumidity = noData, meanHumidity = noData;
    bool water = false; // the sensor was in alarm at some time in the bucket
    std::int64_t count = 0;
    int minutes = 0;
};

inline constexpr std::int64_t rollupMs = 60 * 1000;

// A bucket width as the stores take it: whole minutes, at least one.
inline constexpr std::int64_t bucketWidth(std::int64_t requestedMs)
{
    return requestedMs <= rollupMs ? rollupMs : (requestedMs + rollupMs - 1) / rollupMs * rollupMs;
}

// The four setpoints of one housing in force from a time on.
struct SetpointsInForce {
    std::int64_t sinceMs = 0;
    double tempWarning = 0.0, overTemp = 0.0, rhWarning = 0.0, overRh = 0.0;
};

// The shift report's figures of one housing over a stretch in which one set
// of setpoints was in force. A value is "in warning" at or above its warning
// level and below its over-limit level, "over" at or above the over-limit
// level (the setpoints window's rule); -1.0 and no data count nowhere.
struct LevelCounts {
    long long count = 0; // readings with a value
    double least = noData, greatest = noData;
    double sum = 0.0;        // of the values, for the mean
    long long inWarning = 0; // readings
    long long overLimit = 0; // readings
};

struct ReadingSummary {
    long long readings = 0;               // every reading, with or without data
    std::int64_t firstMs = 0, lastMs = 0; // arrivals; meaningless without readings
    LevelCounts temperature, humidity;
    long long waterAlarm = 0; // readings with the water sensor in alarm
};

// No reading between two readings for longer than a limit.
struct ReadingGap {
    std::int64_t fromMs = 0; // the reading before
    std::int64_t toMs = 0;   // the reading after
};

// A time the link to the instrument was lost: from the loss to the next
// connection (none yet: backMs 0).
struct LinkOutage {
    std::int64_t lostMs = 0;
    std::int64_t backMs = 0;
    std::string reason;
};

// The raises of one alarm point in a range.
struct PointRaises {
    std::string point; // the name its records carry
    long long raised = 0;
    int mostInAMinute = 0; // the most raises within any 60 s
};

// The alarm load of a range: raises per point (most first) and how they
// bunch up in windows of a given length.
struct AlarmLoad {
    std::vector<PointRaises> points;
    int busiestCount = 0;           // the most raises in any window's length
    std::int64_t busiestFromMs = 0; // where that window starts (a raise)
    // Windows counted from the range's start (the last one may be short).
    int windows = 0;
    int floodWindows = 0; // with more raises than the flood limit
    int hours = 0;        // whole or part hours, counted the same way
    int busyHours = 0;    // with more raises than the busy-hour limit
};

// A stretch of one point's life: active (raised to cleared), unacknowledged
// (raised to acknowledged) or shelved (to unshelved or its end). Clipped to
// nothing: startMs may lie before the range, endMs 0 means not ended by the
// range's end.
struct AlarmSpan {
    enum class Kind {
        Active,
        Unacknowledged,
        Shelved
    };
    Kind kind = Kind::Active;
    std::string point;
    std::int64_t startMs = 0;
    std::int64_t endMs = 0;
};

// How a range's alarms were handled: each raise's time to its
// acknowledgement (acknowledged within the range; shortest first), and
// every span that overlaps the range.
struct AlarmHandling {
    std::vector<std::int64_t> acknowledgeMs;
    std::vector<AlarmSpan> spans;
};

// Reads the history back: the trends window and the journal ask through this,
// never on the GUI thread. An implementation is created, used and destroyed
// on one thread (Qt SQL connections belong to the thread that opened them).
// Ranges are [fromMs, toMs). An unreadable store answers empty lists and says
// why through lastError(). A source reads one instrument's rows: the history
// file holds no others, the archive's reader is made for one.
class HistorySource {
public:
    virtual ~HistorySource() = default;

    // Raw readings in arrival order.
    virtual std::vector<Reading> readings(int housing, std::int64_t fromMs, std::int64_t toMs) = 0;
    // Per-minute rollups, for ranges too long for raw readings (and where
    // raw readings are gone).
    virtual std::vector<MinuteRollup> rollups(int housing, std::int64_t fromMs, std::int64_t toMs) = 0;
    // The rollups of [fromMs, toMs) summarised per bucket of
    // bucketWidth(bucketMs), buckets counted from 1970, in time order: one
    // row a bucket however many minutes it holds, computed in the store, so
    // that a range of years costs as many rows as the plot has columns.
    // Buckets without rollups are left out.
    virtual std::vector<RollupBucket> buckets(
        int housing, std::int64_t fromMs, std::int64_t toMs, std::int64_t bucketMs) = 0;
    // The setpoints in force at fromMs (as its first element, sinceMs <=
    // fromMs; absent when nothing is known that early) and every change up to
    // toMs, each as the whole set in force from then on.
    virtual std::vector<SetpointsInForce> setpoints(int housing, std::int64_t fromMs, std::int64_t toMs) = 0;
    virtual std::vector<MessageRecord> messages(std::int64_t fromMs, std::int64_t toMs) = 0;
    virtual std::vector<SetpointChange> setpointChanges(std::int64_t fromMs, std::int64_t toMs) = 0;
    virtual std::vector<LinkChange> linkChanges(std::int64_t fromMs, std::int64_t toMs) = 0;
    virtual std::vector<AlarmRecord> alarmRecords(std::int64_t fromMs, std::int64_t toMs) = 0;

    // The shift report's reads, each computed by the database (GROUP BY and
    // window functions) rather than from rows brought back. `perMinute`
    // reads the per-minute rollups where whole minutes lie in one level,
    // and the raw readings elsewhere, for ranges too long to scan; gaps are
    // then found where whole minutes are empty.
    virtual ReadingSummary readingSummary(int housing, std::int64_t fromMs, std::int64_t toMs,
        const SetpointsInForce& limits, bool perMinute) = 0;
    // Gaps longer than `longerThanMs` between readings inside the range.
    virtual std::vector<ReadingGap> readingGaps(
        int housing, std::int64_t fromMs, std::int64_t toMs, std::int64_t longerThanMs, bool perMinute) = 0;
    // The most common time between two readings (0 with fewer than two).
    virtual std::int64_t usualIntervalMs(
        int housing, std::int64_t fromMs, std::int64_t toMs, bool perMinute) = 0;
    // The readings in buckets of `bucketMs` from fromMs on, each as a
    // rollup whose minuteMs is the bucket's start; empty buckets are left
    // out. Buckets of a minute or more are made of the per-minute rollups.
    virtual std::vector<MinuteRollup> readingBuckets(
        int housing, std::int64_t fromMs, std::int64_t toMs, std::int64_t bucketMs) = 0;
    // Outages that overlap the range, in time order.
    virtual std::vector<LinkOutage> linkOutages(std::int64_t fromMs, std::int64_t toMs) = 0;
    // `windowMs` and `floodAbove` for the busiest window and the floods,
    // hours with more than `busyHourAbove` raises.
    virtual AlarmLoad alarmLoad(
        std::int64_t fromMs, std::int64_t toMs, std::int64_t windowMs, int floodAbove, int busyHourAbove) = 0;
    // `longestShelfMs` ends a shelf whose end was not journalled (the client
    // was not running when it ran out).
    virtual AlarmHandling alarmHandling(
        std::int64_t fromMs, std::int64_t toMs, std::int64_t longestShelfMs) = 0;

    // The messages of `priority` and above, at most `limit` of them (the
    // first ones), in arrival order.
    virtual std::vector<MessageRecord> messagesAtLeast(
        int priority, std::int64_t fromMs, std::int64_t toMs, int limit) = 0;
    // Where the answers come from, for the operator: e.g. "local history" or
    // "archive kov@db1:5432/kov".
    virtual std::string description() const = 0;
    virtual std::string lastError() const = 0;

    // Any thread: the question under way, and every later one, fails at
    // once (the program is ending and will not wait for the answer).
    virtual void interrupt() {}
};

} // namespace History
