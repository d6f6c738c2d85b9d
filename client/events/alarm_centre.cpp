#include "alarm_centre.h"

#include "client_events.h"

#include <QDateTime>

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

AlarmCentre::AlarmCentre(
    ClientEvents& events, const AlarmSettings& settings, Setpoints setpoints, QObject* parent)
    : QObject(parent),
      events_(events),
      setpoints_(std::move(setpoints)),
      user_(userName()),
      engine_(settings, user_.toStdString(), clientClock())
{
    engine_.setListener({[this](const AlarmRecord& record) { emit events_.alarm(record); },
        [this](const AlarmEngine::Announcement& heard) {
            emit raised(QString::fromStdString(heard.point.name()), heard.cancelsSilence);
        },
        [this] { emit changed(); }});
    connect(&events_, &ClientEvents::reading, this, &AlarmCentre::reading);
}

QString AlarmCentre::userName()
{
    if (const passwd* entry = getpwuid(getuid()))
        return QString::fromLocal8Bit(entry->pw_name);
    // An account without a name (a container's bare uid): its number.
    return QStringLiteral("uid %1").arg(getuid());
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

bool AlarmCentre::shelve(AlarmPoint point, int minutes, const QString& comment)
{
    return engine_.shelve(point, minutes * std::int64_t{60'000}, user_.toStdString(), comment.toStdString());
}

void AlarmCentre::unshelve(AlarmPoint point)
{
    engine_.unshelve(point, user_.toStdString());
}

void AlarmCentre::restoreShelf(
    AlarmPoint point, std::int64_t untilUtcMs, const QString& user, const QString& comment)
{
    engine_.restoreShelf(point, untilUtcMs, user.toStdString(), comment.toStdString());
}

QString AlarmCentre::ageText(int housing) const
{
    const std::optional<std::int64_t> age = engine_.ageSeconds(housing);
    const QString text =
        age ? QStringLiteral("updated %1 s ago").arg(*age) : QStringLiteral("no reading yet");
    return stale(housing) ? QStringLiteral("STALE, ") + text : text;
}
