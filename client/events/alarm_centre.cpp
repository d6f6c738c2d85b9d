#include "alarm_centre.h"

#include "client_events.h"

#include <QDateTime>
#include <QDir>

#include <chrono>

#include <pwd.h>
#include <unistd.h>

namespace {

AlarmEngine::Clock clientClock()
{
    return {[] {
                return std::int64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
            },
        [] { return std::int64_t(QDateTime::currentMSecsSinceEpoch()); }};
}

} // namespace

AlarmCentre::AlarmCentre(ClientEvents& events, int staleSeconds, Setpoints setpoints, QObject* parent)
    : QObject(parent),
      events_(events),
      setpoints_(std::move(setpoints)),
      user_(userName()),
      engine_(staleSeconds, user_.toStdString(), clientClock())
{
    engine_.setListener({[this](const AlarmRecord& record) { emit events_.alarm(record); },
        [this](AlarmPoint point) { emit raised(QString::fromStdString(point.name())); },
        [this] { emit changed(); }});
    connect(&events_, &ClientEvents::reading, this, &AlarmCentre::reading);
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

void AlarmCentre::reading(const History::Reading& reading)
{
    if (!Housing::valid(reading.housing))
        return;
    engine_.reading(
        reading.housing, reading.temperature, reading.humidity, reading.water, setpoints_(reading.housing));
}

void AlarmCentre::linkUp(bool up)
{
    engine_.linkUp(up);
}

void AlarmCentre::tick()
{
    engine_.tick();
}

void AlarmCentre::acknowledgeAll()
{
    engine_.acknowledgeAll(user_.toStdString());
}

void AlarmCentre::acknowledge(AlarmPoint point)
{
    engine_.acknowledge(point, user_.toStdString());
}

QString AlarmCentre::ageText(int housing) const
{
    const std::optional<std::int64_t> age = engine_.ageSeconds(housing);
    const QString text =
        age ? QStringLiteral("updated %1 s ago").arg(*age) : QStringLiteral("no reading yet");
    return stale(housing) ? QStringLiteral("STALE, ") + text : text;
}
