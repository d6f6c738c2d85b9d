#pragma once

#include "alarm_point.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Latched alarms. A point that goes into alarm stays unacknowledged until
// the operator acknowledges it, even when its cause has gone meanwhile; an
// alarm on a point already acknowledged raises it again. Warnings never come
// here. Times are whatever clock the caller uses (milliseconds).
class AlarmLatch {
public:
    enum class Action {
        Raised,
        Cleared,
        Acknowledged
    };

    struct Entry {
        AlarmPoint point;
        bool active = false;         // the cause is present now
        bool unacknowledged = false; // raised and not yet acknowledged
        std::int64_t raisedMs = 0;   // the latest raise
        std::int64_t clearedMs = 0;  // the latest clear, 0 while active
    };

    AlarmLatch();

    // The point's cause is present (true) or gone; answers what that did.
    std::optional<Action> set(AlarmPoint point, bool inAlarm, std::int64_t nowMs);

    // True when the point was unacknowledged.
    bool acknowledge(AlarmPoint point);
    // Every unacknowledged point, most severe first; those are acknowledged.
    std::vector<AlarmPoint> acknowledgeAll();

    const Entry& entry(AlarmPoint point) const { return entries_[point.index()]; }
    int unacknowledgedCount() const;
    // The most severe unacknowledged point.
    std::optional<AlarmPoint> mostSevere() const;
    // The points active or unacknowledged, most severe first.
    std::vector<Entry> shown() const;

    // "No unacknowledged alarms", "1 unacknowledged alarm: Link lost",
    // "2 unacknowledged alarms: Electronics housing water sensor".
    std::string summary() const;

private:
    std::array<Entry, AlarmPoint::count> entries_;
};
