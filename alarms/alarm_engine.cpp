#include "alarm_engine.h"

#include "housing.h"
#include "housing_alarms.h"

AlarmEngine::AlarmEngine(int staleSeconds, std::string user, Clock clock)
    : clock_(std::move(clock)),
      user_(std::move(user)),
      steadyStartMs_(clock_.steadyMs()),
      utcStartMs_(clock_.utcMs()),
      stale_(staleSeconds, steadyStartMs_)
{}

void AlarmEngine::reading(
    int housing, double celsius, double percent, bool water, const AlarmSetpoints& setpoints)
{
    if (!Housing::valid(housing))
        return;
    stale_.reading(housing, clock_.steadyMs());
    const HousingAlarms alarms = HousingAlarms::of(celsius, percent, water, setpoints);
    set({AlarmPoint::Kind::Temperature, housing}, alarms.temperature);
    set({AlarmPoint::Kind::Humidity, housing}, alarms.humidity);
    set({AlarmPoint::Kind::Water, housing}, alarms.water);
    set({AlarmPoint::Kind::NoReadings, housing}, false);
}

void AlarmEngine::linkUp(bool up)
{
    set(AlarmPoint::link(), !up);
}

void AlarmEngine::tick()
{
    for (int housing = 0; housing < Housing::count; ++housing)
        set({AlarmPoint::Kind::NoReadings, housing}, stale(housing));
    changed();
}

bool AlarmEngine::stale(int housing) const
{
    return stale_.stale(housing, clock_.steadyMs());
}

std::optional<std::int64_t> AlarmEngine::ageSeconds(int housing) const
{
    return stale_.ageSeconds(housing, clock_.steadyMs());
}

void AlarmEngine::acknowledge(AlarmPoint point, const std::string& user)
{
    if (!latch_.acknowledge(point))
        return;
    journal(AlarmAction::Acknowledged, point, user);
    changed();
}

void AlarmEngine::acknowledgeAll(const std::string& user)
{
    for (AlarmPoint point : latch_.acknowledgeAll())
        journal(AlarmAction::Acknowledged, point, user);
    changed();
}

void AlarmEngine::set(AlarmPoint point, bool inAlarm)
{
    const std::optional<AlarmLatch::Action> action = latch_.set(point, inAlarm, clock_.steadyMs());
    if (!action)
        return;
    const bool raised = *action == AlarmLatch::Action::Raised;
    journal(raised ? AlarmAction::Raised : AlarmAction::Cleared, point, user_);
    changed();
    if (raised && listener_.raised)
        listener_.raised(point);
}

void AlarmEngine::journal(AlarmAction action, AlarmPoint point, const std::string& user)
{
    if (listener_.recorded)
        listener_.recorded(AlarmRecord{action, point.name(), user, clock_.utcMs()});
}

void AlarmEngine::changed()
{
    if (listener_.changed)
        listener_.changed();
}
