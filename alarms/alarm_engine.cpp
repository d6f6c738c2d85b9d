#include "alarm_engine.h"

#include "alarm_levels.h"
#include "alarm_setpoints.h"

#include <algorithm>
#include <map>

AlarmEngine::AlarmEngine(const AlarmSettings& settings, std::string user, Clock clock)
    : settings_(settings),
      clock_(std::move(clock)),
      user_(std::move(user)),
      steadyStartMs_(clock_.steadyMs()),
      utcStartMs_(clock_.utcMs()),
      stale_(settings.staleSeconds, steadyStartMs_)
{
    // A housing without a valid value counts from the start, as one without
    // readings does.
    for (auto& housing : measured_)
        for (Measured& m : housing)
            m.lastValidMs = steadyStartMs_;
}

void AlarmEngine::setSettings(const AlarmSettings& settings)
{
    settings_ = settings;
    stale_.setLimit(settings.staleSeconds);
}

AlarmEngine::Measured& AlarmEngine::measured(AlarmPoint point)
{
    return measured_[point.housing][point.kind == AlarmPoint::Kind::Temperature ? 0 : 1];
}

const AlarmEngine::Measured& AlarmEngine::measured(AlarmPoint point) const
{
    return measured_[point.housing][point.kind == AlarmPoint::Kind::Temperature ? 0 : 1];
}

void AlarmEngine::reading(
    int housing, double celsius, double percent, bool water, const AlarmSetpoints& setpoints)
{
    if (!Housing::valid(housing))
        return;
    const std::int64_t now = clock_.steadyMs();
    stale_.reading(housing, now);
    set({AlarmPoint::Kind::Water, housing}, water, now);
    judge({AlarmPoint::Kind::Temperature, housing}, celsius, setpoints.overTemp, setpoints.tempWarning,
        settings_.deadbandCelsius, now);
    judge({AlarmPoint::Kind::Humidity, housing}, percent, setpoints.overRh, setpoints.rhWarning,
        settings_.deadbandPercent, now);
    set({AlarmPoint::Kind::NoReadings, housing}, false, now);
    sensorFault(housing, now);
}

// The setpoints window's rule (at or above a level, humidity not truncated)
// to enter a level; below it by the deadband to leave it. No data changes
// nothing.
void AlarmEngine::judge(
    AlarmPoint point, double value, double over, double warning, double deadband, std::int64_t now)
{
    if (AlarmLevels::status(value, over, warning) == AlarmLevels::State::NoData)
        return;
    Measured& m = measured(point);
    m.lastValidMs = now;
    m.seen = true;
    m.value = value;
    m.setpoint = over;
    m.over = m.over ? value >= over - deadband : value >= over;
    m.warning = m.warning ? value >= warning - deadband : value >= warning;
    applyDelay(point, now);
}

void AlarmEngine::applyDelay(AlarmPoint point, std::int64_t nowMs)
{
    Measured& m = measured(point);
    if (!m.over) {
        m.overSinceMs.reset();
        set(point, false, nowMs);
        return;
    }
    if (!m.overSinceMs)
        m.overSinceMs = nowMs;
    if (nowMs - *m.overSinceMs >= settings_.delaySeconds * std::int64_t{1000})
        set(point, true, nowMs);
}

// Readings keep coming, but one of the two values has carried no data for
// the stale limit: the sensor cannot be trusted.
void AlarmEngine::sensorFault(int housing, std::int64_t nowMs)
{
    const std::int64_t limitMs = settings_.staleSeconds * std::int64_t{1000};
    bool fault = false;
    if (limitMs > 0)
        for (const Measured& m : measured_[housing])
            fault = fault || nowMs - m.lastValidMs >= limitMs;
    set({AlarmPoint::Kind::NoValidData, housing}, fault, nowMs);
}

void AlarmEngine::linkUp(bool up)
{
    set(AlarmPoint::link(), !up, clock_.steadyMs());
}

void AlarmEngine::tick()
{
    const std::int64_t now = clock_.steadyMs();
    for (int housing = 0; housing < Housing::count; ++housing) {
        const bool old = stale_.stale(housing, now);
        set({AlarmPoint::Kind::NoReadings, housing}, old, now);
        // Without readings the housing is stale; its data is judged again
        // when readings come back.
        if (!old)
            sensorFault(housing, now);
        for (AlarmPoint::Kind kind : {AlarmPoint::Kind::Temperature, AlarmPoint::Kind::Humidity}) {
            const AlarmPoint point{kind, housing};
            if (measured(point).over && !latch_.entry(point).active)
                applyDelay(point, now);
        }
    }
    for (int i = 0; i < AlarmPoint::count; ++i) {
        const AlarmPoint point = AlarmPoint::at(i);
        const AlarmLatch::Entry& entry = latch_.entry(point);
        if (entry.chattering && now - marks_[i].lastRaiseMs >= chatterQuietMs)
            latch_.setChattering(point, false);
        if (entry.shelved() && now >= marks_[i].shelfEndMs) {
            journal(AlarmAction::ShelfExpired, point, user_);
            backFromShelf(point, now);
        }
    }
    changed();
}

bool AlarmEngine::acknowledge(AlarmPoint point, const std::string& user, const std::string& comment)
{
    if (!latch_.acknowledge(point, user, clock_.utcMs()))
        return false;
    journal(AlarmAction::Acknowledged, point, user, comment);
    changed();
    return true;
}

void AlarmEngine::acknowledgeAll(const std::string& user, const std::string& comment)
{
    for (AlarmPoint point : latch_.acknowledgeAll(user, clock_.utcMs()))
        journal(AlarmAction::Acknowledged, point, user, comment);
    changed();
}

bool AlarmEngine::shelve(
    AlarmPoint point, std::int64_t durationMs, const std::string& user, const std::string& comment)
{
    if (durationMs <= 0 || durationMs > longestShelfMs)
        return false;
    latch_.shelve(point, clock_.utcMs() + durationMs, user, comment);
    marks_[point.index()].shelfEndMs = clock_.steadyMs() + durationMs;
    journal(AlarmAction::Shelved, point, user, comment);
    changed();
    return true;
}

bool AlarmEngine::unshelve(AlarmPoint point, const std::string& user, const std::string& comment)
{
    if (!latch_.entry(point).shelved())
        return false;
    journal(AlarmAction::Unshelved, point, user, comment);
    backFromShelf(point, clock_.steadyMs());
    changed();
    return true;
}

void AlarmEngine::restoreShelf(
    AlarmPoint point, std::int64_t untilUtcMs, const std::string& user, const std::string& comment)
{
    const std::int64_t now = clock_.utcMs();
    const std::int64_t leftMs = std::min(untilUtcMs - now, longestShelfMs);
    if (leftMs <= 0)
        return;
    latch_.shelve(point, now + leftMs, user, comment);
    marks_[point.index()].shelfEndMs = clock_.steadyMs() + leftMs;
    changed();
}

std::vector<AlarmRecord> AlarmEngine::shelvesInForce(
    const std::vector<AlarmRecord>& journal, std::int64_t nowUtcMs)
{
    std::map<std::string, const AlarmRecord*> latest;
    for (const AlarmRecord& record : journal)
        if (record.action == AlarmAction::Shelved || record.action == AlarmAction::Unshelved ||
            record.action == AlarmAction::ShelfExpired)
            latest[record.pointKey] = &record;
    std::vector<AlarmRecord> shelves;
    for (const auto& [key, record] : latest)
        if (record->action == AlarmAction::Shelved && record->untilMs > nowUtcMs && !key.empty())
            shelves.push_back(*record);
    return shelves;
}

// Still active: unacknowledged again, and heard as a new alarm.
void AlarmEngine::backFromShelf(AlarmPoint point, std::int64_t nowMs)
{
    latch_.unshelve(point);
    if (!latch_.entry(point).active)
        return;
    marks_[point.index()].lastAnnouncedMs = nowMs;
    if (listener_.announce)
        listener_.announce({point, true});
}

void AlarmEngine::set(AlarmPoint point, bool inAlarm, std::int64_t nowMs)
{
    const AlarmLatch::Entry& entry = latch_.entry(point);
    if (entry.active == inAlarm)
        return;
    const bool wasShown = entry.active || entry.unacknowledged;
    const std::optional<AlarmLatch::Action> action = latch_.set(point, inAlarm, nowMs);
    if (!action)
        return;
    const bool isRaise = *action == AlarmLatch::Action::Raised;
    if (isRaise && point.measured())
        latch_.setValue(point, measured(point).value, measured(point).setpoint);
    journal(isRaise ? AlarmAction::Raised : AlarmAction::Cleared, point, user_);
    changed();
    if (isRaise)
        raised(point, wasShown, nowMs);
}

void AlarmEngine::raised(AlarmPoint point, bool wasShown, std::int64_t now)
{
    Marks& marks = marks_[point.index()];
    marks.raises.push_back(now);
    while (now - marks.raises.front() > chatterWindowMs)
        marks.raises.pop_front();
    marks.lastRaiseMs = now;
    if (int(marks.raises.size()) >= chatterRaises)
        latch_.setChattering(point, true);

    const AlarmLatch::Entry& entry = latch_.entry(point);
    if (entry.shelved())
        return;
    if (entry.chattering && marks.lastAnnouncedMs && now - *marks.lastAnnouncedMs < announceEveryMs)
        return;
    marks.lastAnnouncedMs = now;
    if (listener_.announce)
        listener_.announce({point, !wasShown && !entry.chattering});
}

void AlarmEngine::journal(
    AlarmAction action, AlarmPoint point, const std::string& user, const std::string& comment)
{
    if (!listener_.recorded)
        return;
    AlarmRecord record{action, point.name(), user, clock_.utcMs(), point.key(), comment};
    if (action == AlarmAction::Shelved)
        record.untilMs = latch_.entry(point).shelvedUntilUtcMs;
    if (point.measured() && (action == AlarmAction::Raised || action == AlarmAction::Cleared)) {
        record.value = measured(point).value;
        record.setpoint = measured(point).setpoint;
    }
    listener_.recorded(record);
}

void AlarmEngine::changed()
{
    if (listener_.changed)
        listener_.changed();
}

AlarmEngine::Level AlarmEngine::level(int housing, AlarmPoint::Kind kind) const
{
    if (!Housing::valid(housing))
        return Level::NoData;
    const Measured& m = measured({kind, housing});
    if (!m.seen)
        return Level::NoData;
    if (m.over)
        return Level::Over;
    return m.warning ? Level::Warning : Level::Within;
}

bool AlarmEngine::stale(int housing) const
{
    return stale_.stale(housing, clock_.steadyMs());
}

std::optional<std::int64_t> AlarmEngine::ageSeconds(int housing) const
{
    return stale_.ageSeconds(housing, clock_.steadyMs());
}
