#include "notification_planner.h"

#include "alarm_engine.h"
#include "notification_text.h"

#include <cmath>
#include <cstdio>

namespace {

using Stage = Notification::Stage;

std::string valueText(AlarmPoint point, double value)
{
    if (!point.measured() || !std::isfinite(value))
        return {};
    char text[32];
    std::snprintf(
        text, sizeof text, point.kind == AlarmPoint::Kind::Temperature ? "%.2f °C" : "%.1f %%", value);
    return text;
}

const char* quantity(AlarmPoint point)
{
    switch (point.kind) {
    case AlarmPoint::Kind::Temperature:
        return "temperature";
    case AlarmPoint::Kind::Humidity:
        return "relative humidity";
    case AlarmPoint::Kind::Water:
        return "water sensor";
    case AlarmPoint::Kind::NoReadings:
        return "readings (none arrive)";
    case AlarmPoint::Kind::NoValidData:
        return "readings (no valid data)";
    case AlarmPoint::Kind::LinkLost:
        break;
    }
    return "link to the instrument";
}

} // namespace

NotificationPlanner::NotificationPlanner(NotifySettings settings, std::string instrument,
    std::string acknowledgeCommand, Due due, Cancelled cancelled)
    : settings_(std::move(settings)),
      instrument_(std::move(instrument)),
      acknowledgeCommand_(std::move(acknowledgeCommand)),
      due_(std::move(due)),
      cancelled_(std::move(cancelled))
{}

void NotificationPlanner::recorded(const AlarmRecord& record)
{
    if (record.action == AlarmAction::Acknowledged || record.action == AlarmAction::Shelved)
        cancelled_(record.pointKey);
}

void NotificationPlanner::tick(const AlarmEngine& engine, std::int64_t nowUtcMs)
{
    if (!settings_.enabled())
        return;
    for (int i = 0; i < AlarmPoint::count; ++i)
        consider(engine, i, nowUtcMs);
    allClear(engine, nowUtcMs);
}

// Unacknowledged, not shelved, and so for long enough.
void NotificationPlanner::consider(const AlarmEngine& engine, int index, std::int64_t nowUtcMs)
{
    const AlarmLatch::Entry& entry = engine.latch().entry(AlarmPoint::at(index));
    if (!entry.unacknowledged || entry.shelved())
        return;
    const std::int64_t raised = engine.utcMs(entry.raisedMs);
    const std::int64_t firstDue = raised + settings_.notifyAfterSeconds * std::int64_t{1000};
    const std::int64_t escalationDue = firstDue + settings_.escalateAfterSeconds * std::int64_t{1000};
    for (Stage stage : {Stage::First, Stage::Escalation}) {
        const std::int64_t dueMs = stage == Stage::First ? firstDue : escalationDue;
        if (nowUtcMs < dueMs || (stage == Stage::Escalation && settings_.escalate.empty()))
            continue;
        if (!passed_.insert({index, raised, static_cast<int>(stage)}).second)
            continue;
        if (episode_.empty())
            episodeStartMs_ = raised;
        episode_.insert(index);
        escalated_ = escalated_ || stage == Stage::Escalation;
        due_(make(engine, index, stage, dueMs, nowUtcMs));
    }
}

void NotificationPlanner::allClear(const AlarmEngine& engine, std::int64_t nowUtcMs)
{
    if (episode_.empty())
        return;
    for (int index : episode_) {
        const AlarmLatch::Entry& entry = engine.latch().entry(AlarmPoint::at(index));
        if (entry.active || entry.unacknowledged)
            return;
    }
    Notification n;
    n.pointKey = "*";
    n.raisedMs = episodeStartMs_;
    n.stage = Stage::AllClear;
    n.dueMs = nowUtcMs;
    n.recipients = settings_.notify;
    if (escalated_)
        n.recipients.insert(n.recipients.end(), settings_.escalate.begin(), settings_.escalate.end());
    if (!settings_.webhook.empty())
        n.recipients.push_back(settings_.webhook);
    n.subject = "KOV " + instrument_ + ": all clear";
    n.summary = "all clear";
    n.text = "All clear on " + instrument_ + ": every alarm told of since " +
        NotificationText::utc(episodeStartMs_) + " has cleared and been acknowledged.\n\n";
    std::string items;
    for (int index : episode_) {
        const AlarmPoint point = AlarmPoint::at(index);
        const AlarmLatch::Entry& entry = engine.latch().entry(point);
        const std::string by = entry.acknowledgedBy.empty() ? "somebody" : entry.acknowledgedBy;
        n.text += "  " + point.name() + ": acknowledged by " + by + " at " +
            NotificationText::utc(entry.acknowledgedUtcMs) + "\n";
        items += (items.empty() ? "" : ",") + std::string("{\"point\":") +
            NotificationText::json(point.key()) + ",\"acknowledgedBy\":" + NotificationText::json(by) +
            ",\"acknowledged\":" + NotificationText::json(NotificationText::utc(entry.acknowledgedUtcMs)) +
            "}";
    }
    n.json = "{\"instrument\":" + NotificationText::json(instrument_) +
        ",\"state\":\"all clear\",\"since\":" +
        NotificationText::json(NotificationText::utc(episodeStartMs_)) + ",\"acknowledged\":[" + items + "]}";
    episode_.clear();
    escalated_ = false;
    due_(n);
}

Notification NotificationPlanner::make(const AlarmEngine& engine, int index, Notification::Stage stage,
    std::int64_t dueMs, std::int64_t nowUtcMs) const
{
    const AlarmPoint point = AlarmPoint::at(index);
    const AlarmLatch::Entry& entry = engine.latch().entry(point);
    const std::int64_t raised = engine.utcMs(entry.raisedMs);
    const std::string state = entry.stateText();
    const std::string value = entry.hasValue ? valueText(point, entry.value) : std::string();
    const std::string setpoint = entry.hasValue ? valueText(point, entry.setpoint) : std::string();
    const std::string command = acknowledgeCommand_ + " " + point.key();

    Notification n;
    n.pointKey = point.key();
    n.raisedMs = raised;
    n.stage = stage;
    n.dueMs = dueMs;
    n.recipients = stage == Stage::First ? settings_.notify : settings_.escalate;
    if (stage == Stage::First && !settings_.webhook.empty())
        n.recipients.push_back(settings_.webhook);
    n.summary = point.name() + (value.empty() ? "" : " " + value);
    n.subject = "KOV " + instrument_ + ": " + point.name() + " " + state + (value.empty() ? "" : " " + value);

    std::string others;
    for (const AlarmLatch::Entry& other : engine.latch().shown())
        if (other.point != point && other.active)
            others += "  " + other.point.name() + " (" + other.stateText() + ")\n";
    n.text = (stage == Stage::Escalation ? "ESCALATED: still unacknowledged after the first mail.\n\n" : "") +
        point.name() + " on " + instrument_ + "\n\n";
    if (point.kind != AlarmPoint::Kind::LinkLost)
        n.text += "  Housing:   " + std::string(Housing::names[point.housing]) + "\n";
    n.text += "  Quantity:  " + std::string(quantity(point)) + "\n  State:     " + state + "\n";
    if (!value.empty())
        n.text += "  Value:     " + value + " (over-limit setpoint " + setpoint + ")\n";
    n.text += "  Raised:    " + NotificationText::utc(raised) + "\n  Unacknowledged for " +
        NotificationText::duration(nowUtcMs - raised) + "\n\n" +
        (others.empty() ? "No other alarm is active now.\n" : "Other alarms active now:\n" + others) +
        "\nTo acknowledge it:\n  " + command + "\n";
    n.json = "{\"instrument\":" + NotificationText::json(instrument_) +
        ",\"point\":" + NotificationText::json(point.key()) +
        ",\"name\":" + NotificationText::json(point.name()) + ",\"state\":" + NotificationText::json(state) +
        ",\"stage\":" + NotificationText::json(stage == Stage::First ? "first" : "escalation") +
        ",\"value\":" +
        (entry.hasValue && std::isfinite(entry.value) ? std::to_string(entry.value) : "null") +
        ",\"setpoint\":" +
        (entry.hasValue && std::isfinite(entry.setpoint) ? std::to_string(entry.setpoint) : "null") +
        ",\"time\":" + NotificationText::json(NotificationText::utc(raised)) +
        ",\"acknowledge\":" + NotificationText::json(command) + "}";
    return n;
}
