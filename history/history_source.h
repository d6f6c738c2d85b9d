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
