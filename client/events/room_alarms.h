#pragma once

#include "alarm_latch.h"
#include "room_alarm_snapshot.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The control room's alarms as one console follows them: the latest state
// the instrument's alarm service wrote, as a latch the windows draw like
// their own; how long ago the service was last heard; and the console's own
// "Alarm service lost" alarm, raised when the service has not been heard
// for `lostAfterMs` and cleared when it is heard again (latched like any
// other: a lost service not yet acknowledged stays listed). No Qt, GUI
// thread only.
class RoomAlarms {
public:
    static constexpr const char* lostName = "Alarm service lost";
    static constexpr const char* lostKey = "service";

    struct Timing {
        std::int64_t lostAfterMs = 30'000;
        // Heard within this: "running" (the heartbeat comes every 10 s).
        std::int64_t runningWithinMs = 15'000;
    };
    struct Clock {
        std::function<std::int64_t()> steadyMs;
        std::function<std::int64_t()> utcMs;
    };
    // A point of the room newly unacknowledged, to be heard once.
    struct Heard {
        std::string name;
        bool cancelsSilence = true; // false while it chatters
    };
    enum class LostChange {
        None,
        Raised,
        Cleared
    };
    struct Lost {
        bool active = false;
        bool unacknowledged = false;
        std::int64_t raisedUtcMs = 0;
        std::int64_t clearedUtcMs = 0;
        std::string acknowledgedBy;

        bool shown() const { return active || unacknowledged; }
        // In the latch's words: "unacknowledged", "cleared but unacknowledged", ...
        std::string stateText() const;
    };

    RoomAlarms(Timing timing, Clock clock);

    // A read of the archive; answers the points newly to be heard.
    std::vector<Heard> take(const RoomAlarmSnapshot& snapshot);
    // Judges the heartbeat's age now (once a second and after each read).
    LostChange judge();
    // True when the lost alarm was unacknowledged.
    bool acknowledgeLost(const std::string& user);

    // The room's state is shown: the archive answered at the latest read
    // and the service was heard within lostAfterMs.
    bool live() const;
    bool reachable() const { return reachable_; }
    // Whether any read came back yet, answered or not.
    bool readYet() const { return readYet_; }
    const std::string& problem() const { return problem_; }
    const std::string& service() const { return service_; }
    const AlarmLatch& latch() const { return latch_; }
    const Lost& lost() const { return lost_; }
    // Since the service's heartbeat, now; none before it was ever heard.
    std::optional<std::int64_t> heartbeatAgeMs() const;
    // "Alarm service: running", "Alarm service: not heard for N s", or
    // "Alarm service: not heard" before it ever was.
    std::string serviceText() const;

    // The service's rows as a latch; rows of unknown points are left out.
    static AlarmLatch latchOf(const std::vector<RoomAlarmRow>& rows);

private:
    Timing timing_;
    Clock clock_;
    std::int64_t startedMs_;
    AlarmLatch latch_;
    bool reachable_ = false;
    bool readYet_ = false;
    std::string problem_;
    std::string service_;
    // The heartbeat's age at the read that brought it, and when that was.
    std::optional<std::int64_t> heardAgeMs_;
    std::int64_t heardAtMs_ = 0;
    Lost lost_;
};
