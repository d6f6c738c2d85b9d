#pragma once

#include "notification.h"
#include "notify_settings.h"

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <tuple>

class AlarmEngine;
struct AlarmRecord;

// Decides when the person on call is told, from the alarm engine's state:
// an alarm unacknowledged (and not shelved) for the notify delay comes due
// for the on-call addresses and the webhook, for the escalation addresses
// the escalation delay later; one acknowledged or shelved before is never
// told, and acknowledging one that was told stops its escalation. Once every
// alarm told of since the last all-clear has cleared and been acknowledged,
// an all-clear comes due for all who were told. Warnings are never alarms.
//
// It keeps no more than what it has already passed on: the outbox that
// takes each notification ignores one it holds, so a planner that starts
// again (a restart, a standby taking over) may pass the same one twice.
// No Qt; runs on the engine's thread.
class NotificationPlanner {
public:
    using Due = std::function<void(const Notification&)>;
    // The point's notifications not sent yet must not go out any more.
    using Cancelled = std::function<void(const std::string& pointKey)>;

    // `acknowledgeCommand`: the command line, without the point, that the
    // mail shows for acknowledging ("kovalarms --archive ... ack").
    NotificationPlanner(NotifySettings settings, std::string instrument, std::string acknowledgeCommand,
        Due due, Cancelled cancelled);

    // After each journal record of the engine.
    void recorded(const AlarmRecord& record);
    // Once a second, with the engine's state.
    void tick(const AlarmEngine& engine, std::int64_t nowUtcMs);

private:
    void consider(const AlarmEngine& engine, int index, std::int64_t nowUtcMs);
    void allClear(const AlarmEngine& engine, std::int64_t nowUtcMs);
    Notification make(const AlarmEngine& engine, int index, Notification::Stage stage, std::int64_t dueMs,
        std::int64_t nowUtcMs) const;

    NotifySettings settings_;
    std::string instrument_;
    std::string acknowledgeCommand_;
    Due due_;
    Cancelled cancelled_;
    // (point, raise, stage) passed on.
    std::set<std::tuple<int, std::int64_t, int>> passed_;
    // Since the last all-clear: the points told of and whether the second
    // line was told too.
    std::set<int> episode_;
    std::int64_t episodeStartMs_ = 0;
    bool escalated_ = false;
};
