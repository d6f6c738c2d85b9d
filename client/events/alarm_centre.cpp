#include "alarm_centre.h"

#include "client_events.h"
#include "housing_alarms.h"

#include <QDateTime>
#include <QDir>

#include <pwd.h>
#include <unistd.h>

AlarmCentre::AlarmCentre(ClientEvents& events, int staleSeconds, QObject* parent)
    : QObject(parent),
      events_(events),
      wallStartMs_(QDateTime::currentMSecsSinceEpoch()),
      stale_(staleSeconds, 0),
      user_(userName())
{
    clock_.start();
}

QString AlarmCentre::userName()
{
    const QString user = qEnvironmentVariable("USER");
    if (!user.isEmpty())
        return user;
    if (const passwd* entry = getpwuid(getuid()))
        return QString::fromLocal8Bit(entry->pw_name);
    return QDir::home().dirName();
}

void AlarmCentre::reading(
    int housing, double celsius, double percent, bool water, const AlarmSetpoints& setpoints)
{
    if (housing < 0 || housing >= Housing::count)
        return;
    stale_.reading(housing, nowMs());
    const HousingAlarms alarms = HousingAlarms::of(celsius, percent, water, setpoints);
    set({AlarmPoint::Kind::Temperature, housing}, alarms.temperature);
    set({AlarmPoint::Kind::Humidity, housing}, alarms.humidity);
    set({AlarmPoint::Kind::Water, housing}, alarms.water);
    set({AlarmPoint::Kind::NoReadings, housing}, false);
}

void AlarmCentre::linkUp(bool up)
{
    set(AlarmPoint::link(), !up);
}

void AlarmCentre::tick()
{
    for (int housing = 0; housing < Housing::count; ++housing)
        set({AlarmPoint::Kind::NoReadings, housing}, stale(housing));
    emit changed();
}

bool AlarmCentre::stale(int housing) const
{
    return stale_.stale(housing, nowMs());
}

QString AlarmCentre::ageText(int housing) const
{
    const std::optional<std::int64_t> age = stale_.ageSeconds(housing, nowMs());
    const QString text =
        age ? QStringLiteral("updated %1 s ago").arg(*age) : QStringLiteral("no reading yet");
    return stale(housing) ? QStringLiteral("STALE, ") + text : text;
}

void AlarmCentre::set(AlarmPoint point, bool inAlarm)
{
    const std::optional<AlarmLatch::Action> action = latch_.set(point, inAlarm, nowMs());
    if (!action)
        return;
    journal(static_cast<int>(*action), point);
    emit changed();
    if (*action == AlarmLatch::Action::Raised)
        emit raised(QString::fromStdString(point.name()));
}

void AlarmCentre::acknowledgeAll()
{
    for (AlarmPoint point : latch_.acknowledgeAll())
        journal(static_cast<int>(AlarmLatch::Action::Acknowledged), point);
    emit changed();
}

void AlarmCentre::acknowledge(AlarmPoint point)
{
    if (!latch_.acknowledge(point))
        return;
    journal(static_cast<int>(AlarmLatch::Action::Acknowledged), point);
    emit changed();
}

void AlarmCentre::journal(int action, AlarmPoint point)
{
    History::AlarmRecord record;
    record.action = static_cast<History::AlarmAction>(action);
    record.point = point.name();
    record.user = user_.toStdString();
    record.timeMs = QDateTime::currentMSecsSinceEpoch();
    emit events_.alarm(record);
}
