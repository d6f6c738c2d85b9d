#include "alarm_latch.h"

AlarmLatch::AlarmLatch()
{
    for (int i = 0; i < AlarmPoint::count; ++i)
        entries_[i].point = AlarmPoint::at(i);
}

std::optional<AlarmLatch::Action> AlarmLatch::set(AlarmPoint point, bool inAlarm, std::int64_t nowMs)
{
    Entry& entry = entries_[point.index()];
    if (inAlarm == entry.active)
        return std::nullopt;
    entry.active = inAlarm;
    if (!inAlarm) {
        entry.clearedMs = nowMs;
        return Action::Cleared;
    }
    entry.raisedMs = nowMs;
    entry.clearedMs = 0;
    entry.unacknowledged = true;
    return Action::Raised;
}

bool AlarmLatch::acknowledge(AlarmPoint point)
{
    Entry& entry = entries_[point.index()];
    const bool was = entry.unacknowledged;
    entry.unacknowledged = false;
    return was;
}

std::vector<AlarmPoint> AlarmLatch::acknowledgeAll()
{
    std::vector<AlarmPoint> done;
    for (Entry& entry : entries_)
        if (acknowledge(entry.point))
            done.push_back(entry.point);
    return done;
}

int AlarmLatch::unacknowledgedCount() const
{
    int count = 0;
    for (const Entry& entry : entries_)
        count += entry.unacknowledged ? 1 : 0;
    return count;
}

std::optional<AlarmPoint> AlarmLatch::mostSevere() const
{
    for (const Entry& entry : entries_)
        if (entry.unacknowledged)
            return entry.point;
    return std::nullopt;
}

std::vector<AlarmLatch::Entry> AlarmLatch::shown() const
{
    std::vector<Entry> list;
    for (const Entry& entry : entries_)
        if (entry.active || entry.unacknowledged)
            list.push_back(entry);
    return list;
}

std::string AlarmLatch::summary() const
{
    const int count = unacknowledgedCount();
    if (count == 0)
        return "No unacknowledged alarms";
    const std::string noun = count == 1 ? " unacknowledged alarm: " : " unacknowledged alarms: ";
    return std::to_string(count) + noun + mostSevere()->name();
}
