#include "room_alarms.h"

#include <utility>

std::string RoomAlarms::Lost::stateText() const
{
    if (active)
        return unacknowledged ? "unacknowledged" : "acknowledged";
    return unacknowledged ? "cleared but unacknowledged" : "normal";
}

RoomAlarms::RoomAlarms(Timing timing, Clock clock)
    : timing_(timing), clock_(std::move(clock)), startedMs_(clock_.steadyMs())
{}

AlarmLatch RoomAlarms::latchOf(const std::vector<RoomAlarmRow>& rows)
{
    AlarmLatch latch;
    for (const RoomAlarmRow& row : rows) {
        const std::optional<AlarmPoint> point = AlarmPoint::fromKey(row.pointKey);
        if (!point)
            continue;
        // Replayed as the service's latch went: raised, cleared, acknowledged.
        if (row.active || !row.acknowledged) {
            latch.set(*point, true, row.raisedMs);
            if (row.value && row.setpoint)
                latch.setValue(*point, *row.value, *row.setpoint);
            if (!row.active)
                latch.set(*point, false, row.sinceMs);
            if (row.acknowledged)
                latch.acknowledge(*point, row.actedBy, row.actedMs);
        }
        latch.setChattering(*point, row.state.find("chattering") != std::string::npos);
        if (row.shelvedUntilMs != 0)
            latch.shelve(*point, row.shelvedUntilMs, row.actedBy, row.comment);
    }
    return latch;
}

std::vector<RoomAlarms::Heard> RoomAlarms::take(const RoomAlarmSnapshot& snapshot)
{
    readYet_ = true;
    reachable_ = snapshot.reachable;
    problem_ = snapshot.problem;
    if (!snapshot.reachable)
        return {};
    service_ = snapshot.service;
    if (snapshot.heartbeatAgeMs) {
        heardAgeMs_ = std::max<std::int64_t>(0, *snapshot.heartbeatAgeMs);
        heardAtMs_ = clock_.steadyMs();
    }
    AlarmLatch next = latchOf(snapshot.rows);
    std::vector<Heard> heard;
    for (const AlarmLatch::Entry& now : next.shown()) {
        const AlarmLatch::Entry& before = latch_.entry(now.point);
        const bool waiting = now.unacknowledged && !now.shelved();
        const bool wasWaiting = before.unacknowledged && !before.shelved();
        if (waiting && (!wasWaiting || before.raisedMs != now.raisedMs))
            heard.push_back({now.point.name(), !now.chattering});
    }
    latch_ = std::move(next);
    return heard;
}

std::optional<std::int64_t> RoomAlarms::heartbeatAgeMs() const
{
    if (!heardAgeMs_)
        return std::nullopt;
    return *heardAgeMs_ + (clock_.steadyMs() - heardAtMs_);
}

bool RoomAlarms::live() const
{
    const std::optional<std::int64_t> age = heartbeatAgeMs();
    return reachable_ && age && *age < timing_.lostAfterMs;
}

RoomAlarms::LostChange RoomAlarms::judge()
{
    // Never heard: counted from the console's start.
    const std::optional<std::int64_t> heard = heartbeatAgeMs();
    const std::int64_t age = heard ? *heard : clock_.steadyMs() - startedMs_;
    const bool lost = age >= timing_.lostAfterMs;
    if (lost == lost_.active)
        return LostChange::None;
    lost_.active = lost;
    if (!lost) {
        lost_.clearedUtcMs = clock_.utcMs();
        return LostChange::Cleared;
    }
    lost_.raisedUtcMs = clock_.utcMs();
    lost_.clearedUtcMs = 0;
    lost_.unacknowledged = true;
    return LostChange::Raised;
}

bool RoomAlarms::acknowledgeLost(const std::string& user)
{
    if (!lost_.unacknowledged)
        return false;
    lost_.unacknowledged = false;
    lost_.acknowledgedBy = user;
    return true;
}

std::string RoomAlarms::serviceText() const
{
    const std::optional<std::int64_t> age = heartbeatAgeMs();
    if (!age)
        return "Alarm service: not heard";
    if (*age < timing_.runningWithinMs)
        return "Alarm service: running";
    return "Alarm service: not heard for " + std::to_string(*age / 1000) + " s";
}
