#pragma once

#include "alarm_record.h"

#include <cstdint>
#include <limits>
#include <string>

// What the client keeps of its traffic: one plain value type per kind of
// record. They travel on the GUI thread as Qt signal arguments (copied, so a
// receiver may queue them) and are what the history store writes and reads
// back. Times are UTC milliseconds since 1970 unless a field says otherwise;
// housings are 0 (electronics) and 1 (spectrograph). `seq` tells apart
// records of one kind and time where the key is given on arrival (the
// recorder's); the local history file numbers its rows itself.
namespace History {

inline constexpr double noData = std::numeric_limits<double>::quiet_NaN();

// One accepted housekeeping reading. A value that was not finite on arrival
// is noData.
struct Reading {
    int housing = 0;
    std::int64_t readingTime = 0; // the instrument's own time stamp, as sent
    std::int64_t arrivalMs = 0;
    double temperature = noData; // degrees Celsius
    double humidity = noData;    // percent relative humidity
    bool water = false;          // the water sensor is in alarm
    int seq = 0;
};

// One message as the message list shows it (plain texts already wrapped).
struct MessageRecord {
    int priority = 0;                // 0 message, 1 warning, 2 alarm
    std::int64_t instrumentTime = 0; // the message's own arrival_time, as sent
    std::int64_t arrivalMs = 0;
    std::string text; // UTF-8
    int seq = 0;
};

// Which of a housing's four setpoints.
enum class Setpoint {
    TempWarning = 0,
    OverTemp = 1,
    RhWarning = 2,
    OverRh = 3
};

struct SetpointChange {
    int housing = 0;
    Setpoint which = Setpoint::OverTemp;
    double oldValue = 0.0;
    double newValue = 0.0;
    std::int64_t timeMs = 0;
    int seq = 0;
};

enum class LinkEvent {
    Connected = 0,
    Lost = 1,
    Reconnected = 2
};

struct LinkChange {
    LinkEvent kind = LinkEvent::Connected;
    std::string reason; // why a link was lost; empty otherwise
    std::int64_t timeMs = 0;
    int seq = 0;
};

// A latched alarm's life, as the alarm engine journals it.
using AlarmAction = ::AlarmAction;
using AlarmRecord = ::AlarmRecord;

} // namespace History
