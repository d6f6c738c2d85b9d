#pragma once

#include "alarm_latch.h"
#include "alarm_record.h"
#include "alarm_settings.h"
#include "housing.h"
#include "stale_tracker.h"

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct AlarmSetpoints;

// The alarm rules of one instrument, as control rooms expect them:
// - a temperature or humidity alarm is raised at or above its over-limit
//   setpoint (after the on-delay, if any) and clears only once the value is
//   below it by the deadband; the warning level has the same deadband; a
//   reading without data neither raises nor clears;
// - the water sensor and the link are never delayed;
// - no readings for the stale limit, and readings without data for as
//   long (a sensor fault), are alarms of their own;
// - a point raised 3 or more times within a minute chatters: it is
//   announced at most once a minute, until 10 minutes pass without a raise;
// - a shelved point is put aside for at most 8 hours, announced never and
//   counted nowhere, and comes back unacknowledged if it is still active.
// Every transition is journalled with its time and user. No Qt and no clock
// of its own: the client and the recorder run the same engine, each with
// its clocks. Not thread-safe; one thread drives it.
class AlarmEngine {
public:
    static constexpr std::int64_t chatterWindowMs = 60 * 1000;
    static constexpr int chatterRaises = 3;
    static constexpr std::int64_t chatterQuietMs = 10 * 60 * 1000;
    static constexpr std::int64_t announceEveryMs = 60 * 1000; // while chattering
    static constexpr std::int64_t longestShelfMs = 8 * 3600 * 1000;

    // Milliseconds: a monotonic clock for ages, delays and the latch's
    // times, the UTC clock for the journal and the shelves' ends.
    struct Clock {
        std::function<std::int64_t()> steadyMs;
        std::function<std::int64_t()> utcMs;
    };
    // A point to be heard (the sound, a notification). Only a point that
    // was not shown before and does not chatter cancels a silence.
    struct Announcement {
        AlarmPoint point;
        bool cancelsSilence = false;
    };
    // Told of each journal record, of what is to be heard, and of any
    // change of what is shown (the latch or an age).
    struct Listener {
        std::function<void(const AlarmRecord&)> recorded;
        std::function<void(const Announcement&)> announce;
        std::function<void()> changed;
    };
    // Whether a temperature or humidity is at its warning level now (with
    // the deadband), for whoever shows warnings.
    enum class Level {
        Within,
        Warning,
        Over,
        NoData
    };

    // `user` signs what the engine does of its own (raise, clear, the end
    // of a shelf).
    AlarmEngine(const AlarmSettings& settings, std::string user, Clock clock);

    void setListener(Listener listener) { listener_ = std::move(listener); }
    // New deadband, delay or stale limit (the configuration was read
    // again); the points keep their state.
    void setSettings(const AlarmSettings& settings);
    const AlarmSettings& settings() const { return settings_; }

    // One reading of a housing (not a housing: ignored). A value that is not
    // a number, or -1.0, is no data.
    void reading(int housing, double celsius, double percent, bool water, const AlarmSetpoints& setpoints);
    void linkUp(bool up);
    // Once a second: ages, delays that ran out, chattering marks that went
    // quiet, shelves that ended.
    void tick();

    // False when the point was not unacknowledged.
    bool acknowledge(AlarmPoint point, const std::string& user, const std::string& comment = {});
    void acknowledgeAll(const std::string& user, const std::string& comment = {});
    // Puts a point aside for `durationMs` (more than 0, at most 8 hours);
    // false for any other duration.
    bool shelve(
        AlarmPoint point, std::int64_t durationMs, const std::string& user, const std::string& comment);
    // False when the point was not shelved.
    bool unshelve(AlarmPoint point, const std::string& user, const std::string& comment = {});
    // A shelf kept from before a restart (no journal record); one that has
    // ended by now is ignored, one longer than 8 hours from now is cut.
    void restoreShelf(
        AlarmPoint point, std::int64_t untilUtcMs, const std::string& user, const std::string& comment);

    // From a journal in time order: each point's latest shelf that neither
    // ended nor was taken off by `nowUtcMs` (what restoreShelf takes).
    static std::vector<AlarmRecord> shelvesInForce(
        const std::vector<AlarmRecord>& journal, std::int64_t nowUtcMs);

    const AlarmLatch& latch() const { return latch_; }
    Level level(int housing, AlarmPoint::Kind kind) const;
    bool stale(int housing) const;
    // Whole seconds since the housing's latest reading; none before the first.
    std::optional<std::int64_t> ageSeconds(int housing) const;
    // UTC milliseconds of a latch time.
    std::int64_t utcMs(std::int64_t latchMs) const { return utcStartMs_ + (latchMs - steadyStartMs_); }

private:
    // What the engine keeps of a temperature or humidity point between
    // readings.
    struct Measured {
        bool over = false;                       // at or above the over-limit setpoint, with the deadband
        bool warning = false;                    // at or above the warning level, with the deadband
        std::optional<std::int64_t> overSinceMs; // for the on-delay
        std::int64_t lastValidMs = 0;
        bool seen = false; // a valid value came at all
        double value = 0.0;
        double setpoint = 0.0;
    };
    struct Marks {
        std::deque<std::int64_t> raises; // within the chatter window
        std::int64_t lastRaiseMs = 0;
        std::optional<std::int64_t> lastAnnouncedMs;
        std::int64_t shelfEndMs = 0; // steady clock
    };

    void judge(
        AlarmPoint point, double value, double over, double warning, double deadband, std::int64_t now);
    void applyDelay(AlarmPoint point, std::int64_t nowMs);
    void sensorFault(int housing, std::int64_t nowMs);
    void set(AlarmPoint point, bool inAlarm, std::int64_t nowMs);
    void raised(AlarmPoint point, bool wasShown, std::int64_t now);
    void backFromShelf(AlarmPoint point, std::int64_t nowMs);
    void journal(
        AlarmAction action, AlarmPoint point, const std::string& user, const std::string& comment = {});
    void changed();
    Measured& measured(AlarmPoint point);
    const Measured& measured(AlarmPoint point) const;

    AlarmSettings settings_;
    Clock clock_;
    std::string user_;
    std::int64_t steadyStartMs_;
    std::int64_t utcStartMs_;
    AlarmLatch latch_;
    StaleTracker stale_;
    std::array<std::array<Measured, 2>, Housing::count> measured_{};
    std::array<Marks, AlarmPoint::count> marks_{};
    Listener listener_;
};
