#pragma once

#include "history_records.h"

#include <array>
#include <cstdint>
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

// Reads the history back: the trends window and the journal ask through this,
// never on the GUI thread. An implementation is created, used and destroyed
// on one thread (Qt SQL connections belong to the thread that opened them).
// Ranges are [fromMs, toMs). An unreadable store answers empty lists and says
// why through lastError().
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

    // Where the answers come from, for the operator: e.g. "local history" or
    // "archive kov@db1:5432/kov".
    virtual std::string description() const = 0;
    virtual std::string lastError() const = 0;

    // Any thread: the question under way, and every later one, fails at
    // once (the program is ending and will not wait for the answer).
    virtual void interrupt() {}
};

} // namespace History
