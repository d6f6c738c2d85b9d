#pragma once

#include "alarm_point.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Latched alarms. A point that goes into alarm stays unacknowledged until
// somebody acknowledges it, even when its cause has gone meanwhile; an
// alarm on a point already acknowledged raises it again. A shelved point is
// put aside for a time: it is still latched and listed, but not counted.
// Warnings never come here. Latch times are whatever monotonic clock the
// caller uses; shelf ends and acknowledgement times are UTC (milliseconds).
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
        bool chattering = false;     // raised again and again of late
        std::int64_t raisedMs = 0;   // the latest raise
        std::int64_t clearedMs = 0;  // the latest clear, 0 while active
        // The value and the over-limit setpoint of the latest raise (a
        // temperature or humidity point); no data otherwise.
        double value = 0.0;
        double setpoint = 0.0;
        bool hasValue = false;
        std::string acknowledgedBy; // of the latest acknowledgement
        std::int64_t acknowledgedUtcMs = 0;
        std::int64_t shelvedUntilUtcMs = 0; // 0: not shelved
        std::string shelvedBy;
        std::string shelfComment;

        bool shelved() const { return shelvedUntilUtcMs != 0; }
        // "normal", "unacknowledged", "acknowledged", "cleared but
        // unacknowledged" or "shelved", with ", chattering" when it is.
        std::string stateText() const;
    };

    AlarmLatch();

    // The point's cause is present (true) or gone; answers what that did.
    std::optional<Action> set(AlarmPoint point, bool inAlarm, std::int64_t nowMs);

    // True when the point was unacknowledged.
    bool acknowledge(AlarmPoint point, const std::string& user = {}, std::int64_t utcMs = 0);
    // Every unacknowledged point not on the shelf, most severe first; those
    // are acknowledged.
    std::vector<AlarmPoint> acknowledgeAll(const std::string& user = {}, std::int64_t utcMs = 0);

    void setValue(AlarmPoint point, double value, double setpoint);
    void setChattering(AlarmPoint point, bool chattering);
    void shelve(
        AlarmPoint point, std::int64_t untilUtcMs, const std::string& user, const std::string& comment);
    // Off the shelf: an active point is unacknowledged again, one that has
    // cleared meanwhile is back to normal.
    void unshelve(AlarmPoint point);

    const Entry& entry(AlarmPoint point) const { return entries_[point.index()]; }
    // Unacknowledged points that are not shelved.
    int unacknowledgedCount() const;
    int shelvedCount() const;
    // The most severe unacknowledged point that is not shelved.
    std::optional<AlarmPoint> mostSevere() const;
    // The points active, unacknowledged or shelved, most severe first.
    std::vector<Entry> shown() const;

    // "No unacknowledged alarms", "1 unacknowledged alarm: Link lost",
    // "2 unacknowledged alarms: Electronics housing water sensor"; then
    // "; 1 shelved" when any point is.
    std::string summary() const;

private:
    std::array<Entry, AlarmPoint::count> entries_;
};
