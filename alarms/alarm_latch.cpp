#include "alarm_latch.h"

std::string AlarmLatch::Entry::stateText() const
{
    std::string text;
    if (shelved())
        text = "shelved";
    else if (active)
        text = unacknowledged ? "unacknowledged" : "acknowledged";
    else
        text = unacknowledged ? "cleared but unacknowledged" : "normal";
    return chattering ? text + ", chattering" : text;
}

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
    entry.hasValue = false;
    return Action::Raised;
}

bool AlarmLatch::acknowledge(AlarmPoint point, const std::string& user, std::int64_t utcMs)
{
    Entry& entry = entries_[point.index()];
    if (!entry.unacknowledged)
        return false;
    entry.unacknowledged = false;
    entry.acknowledgedBy = user;
    entry.acknowledgedUtcMs = utcMs;
    return true;
}

std::vector<AlarmPoint> AlarmLatch::acknowledgeAll(const std::string& user, std::int64_t utcMs)
{
    std::vector<AlarmPoint> done;
    for (Entry& entry : entries_)
        if (!entry.shelved() && acknowledge(entry.point, user, utcMs))
            done.push_back(entry.point);
    return done;
}

void AlarmLatch::setValue(AlarmPoint point, double value, double setpoint)
{
    Entry& entry = entries_[point.index()];
    entry.value = value;
    entry.setpoint = setpoint;
    entry.hasValue = true;
}

void AlarmLatch::setChattering(AlarmPoint point, bool chattering)
{
    entries_[point.index()].chattering = chattering;
}

void AlarmLatch::shelve(
    AlarmPoint point, std::int64_t untilUtcMs, const std::string& user, const std::string& comment)
{
    Entry& entry = entries_[point.index()];
    entry.shelvedUntilUtcMs = untilUtcMs;
    entry.shelvedBy = user;
    entry.shelfComment = comment;
}

void AlarmLatch::unshelve(AlarmPoint point)
{
    Entry& entry = entries_[point.index()];
    entry.shelvedUntilUtcMs = 0;
    entry.shelvedBy.clear();
    entry.shelfComment.clear();
    entry.unacknowledged = entry.active;
}

int AlarmLatch::unacknowledgedCount() const
{
    int count = 0;
    for (const Entry& entry : entries_)
        count += entry.unacknowledged && !entry.shelved() ? 1 : 0;
    return count;
}

int AlarmLatch::shelvedCount() const
{
    int count = 0;
    for (const Entry& entry : entries_)
        count += entry.shelved() ? 1 : 0;
    return count;
}

std::optional<AlarmPoint> AlarmLatch::mostSevere() const
{
    for (const Entry& entry : entries_)
        if (entry.unacknowledged && !entry.shelved())
            return entry.point;
    return std::nullopt;
}

std::vector<AlarmLatch::Entry> AlarmLatch::shown() const
{
    std::vector<Entry> list;
    for (const Entry& entry : entries_)
        if (entry.active || entry.unacknowledged || entry.shelved())
            list.push_back(entry);
    return list;
}

std::string AlarmLatch::summary() const
{
    const int count = unacknowledgedCount();
    std::string text = "No unacknowledged alarms";
    if (count > 0) {
        const std::string noun = count == 1 ? " unacknowledged alarm: " : " unacknowledged alarms: ";
        text = std::to_string(count) + noun + mostSevere()->name();
    }
    const int shelved = shelvedCount();
    return shelved > 0 ? text + "; " + std::to_string(shelved) + " shelved" : text;
}
