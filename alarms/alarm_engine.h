#pragma once

#include "alarm_latch.h"
#include "alarm_record.h"
#include "stale_tracker.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct AlarmSetpoints;

// The alarm rules of one instrument: latches every alarm point from the
// readings, the age of each housing's readings and the state of the link,
// and journals every raise, clear and acknowledgement. No Qt and no clock
// of its own: the client and the recorder run the same engine, each with
// its clocks. Not thread-safe; one thread drives it.
class AlarmEngine {
public:
    // Milliseconds: a monotonic clock for ages and the latch's times, the
    // UTC clock for the journal.
    struct Clock {
        std::function<std::int64_t()> steadyMs;
        std::function<std::int64_t()> utcMs;
    };
    // Told of each journal record, of each raise (for the sound), and of
    // any change of what is shown (the latch or an age).
    struct Listener {
        std::function<void(const AlarmRecord&)> recorded;
        std::function<void(AlarmPoint)> raised;
        std::function<void()> changed;
    };

    // staleSeconds 0: readings never go stale. `user` signs the raises and
    // clears (the engine's own actions).
    AlarmEngine(int staleSeconds, std::string user, Clock clock);

    void setListener(Listener listener) { listener_ = std::move(listener); }

    // One reading of a housing (not a housing: ignored). A value that is not
    // a number, or -1.0, is no data.
    void reading(int housing, double celsius, double percent, bool water, const AlarmSetpoints& setpoints);
    void linkUp(bool up);
    // Once a second: the age of the readings.
    void tick();

    void acknowledge(AlarmPoint point, const std::string& user);
    void acknowledgeAll(const std::string& user);

    const AlarmLatch& latch() const { return latch_; }
    bool stale(int housing) const;
    // Whole seconds since the housing's latest reading; none before the first.
    std::optional<std::int64_t> ageSeconds(int housing) const;
    // UTC milliseconds of a latch time.
    std::int64_t utcMs(std::int64_t latchMs) const { return utcStartMs_ + (latchMs - steadyStartMs_); }

private:
    void set(AlarmPoint point, bool inAlarm);
    void journal(AlarmAction action, AlarmPoint point, const std::string& user);
    void changed();

    Clock clock_;
    std::string user_;
    std::int64_t steadyStartMs_;
    std::int64_t utcStartMs_;
    AlarmLatch latch_;
    StaleTracker stale_;
    Listener listener_;
};
