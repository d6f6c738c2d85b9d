#include "alarm_centre.h"

#include "alarm_room_schema.h"
#include "client_events.h"

#include <QDateTime>

#include <chrono>
#include <utility>

#include <pwd.h>
#include <unistd.h>

namespace {

std::int64_t steadyNowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

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
            // While the room's alarms are shown, the room's are heard.
            if (!showsRoom())
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

void AlarmCentre::followRoom(RoomAlarmReader::Options options, RoomAlarms::Timing timing)
{
    reader_.reset();
    room_ = std::make_unique<RoomAlarms>(timing,
        RoomAlarms::Clock{steadyNowMs, [] { return std::int64_t(QDateTime::currentMSecsSinceEpoch()); }});
    reader_ = std::make_unique<RoomAlarmReader>(std::move(options));
    connect(reader_.get(), &RoomAlarmReader::read, this, &AlarmCentre::roomRead);
    connect(reader_.get(), &RoomAlarmReader::answered, this, &AlarmCentre::answered);
    shownSource_ = sourceText();
    emit changed();
}

void AlarmCentre::setOwnReason(const QString& reason)
{
    ownReason_ = reason;
    shownSource_ = sourceText();
    emit changed();
}

void AlarmCentre::roomRead(const RoomAlarmSnapshot& snapshot)
{
    const std::vector<RoomAlarms::Heard> heard = room_->take(snapshot);
    judgeRoom();
    if (showsRoom())
        for (const RoomAlarms::Heard& point : heard)
            emit raised(QString::fromStdString(point.name), point.cancelsSilence);
    emit changed();
}

// After each read and once a second: the lost service, and a change of
// what the windows show.
void AlarmCentre::judgeRoom()
{
    switch (room_->judge()) {
    case RoomAlarms::LostChange::Raised:
        journalLost(AlarmAction::Raised);
        emit raised(QString::fromLatin1(RoomAlarms::lostName), true);
        break;
    case RoomAlarms::LostChange::Cleared:
        journalLost(AlarmAction::Cleared);
        break;
    case RoomAlarms::LostChange::None:
        break;
    }
    const QString source = sourceText();
    if (source != std::exchange(shownSource_, source))
        emit sourceChanged(source);
}

void AlarmCentre::journalLost(AlarmAction action)
{
    AlarmRecord record;
    record.action = action;
    record.point = RoomAlarms::lostName;
    record.pointKey = RoomAlarms::lostKey;
    record.user = user_.toStdString();
    record.timeMs = QDateTime::currentMSecsSinceEpoch();
    emit events_.alarm(record);
}

void AlarmCentre::answered(const RoomActionAnswer& answer)
{
    using Outcome = RoomActionAnswer::Outcome;
    if (answer.outcome == Outcome::Queued)
        return;
    const QString verb = answer.action.action == AlarmRoomSchema::shelve ? QStringLiteral("shelve")
        : answer.action.action == AlarmRoomSchema::unshelve              ? QStringLiteral("unshelve")
                                                                         : QStringLiteral("acknowledge");
    if (answer.outcome == Outcome::NoRight) {
        // No user in the address: libpq's own default, PGUSER else the account.
        QString role = QString::fromStdString(answer.role);
        if (role.isEmpty())
            role = qEnvironmentVariable("PGUSER", userName());
        emit refused(
            QStringLiteral("This console has no right to %1 the room's alarms: the archive's role "
                           "\"%2\" may only read them. Operators log in with the role \"kovoperator\".")
                .arg(verb, role));
        return;
    }
    // "acknowledged", "shelved", "unshelved".
    emit refused(QStringLiteral("The room's alarm could not be %1d: %2")
                     .arg(verb, QString::fromStdString(answer.why)));
}

void AlarmCentre::ask(const std::string& pointKey, const char* action, int minutes, const QString& comment)
{
    reader_->act(RoomAlarmAction{pointKey, action, minutes, comment.toStdString()});
}

int AlarmCentre::unacknowledgedCount() const
{
    const bool lost = room_ && room_->lost().unacknowledged;
    return latch().unacknowledgedCount() + (lost ? 1 : 0);
}

QString AlarmCentre::summary() const
{
    if (!room_ || !room_->lost().unacknowledged)
        return QString::fromStdString(latch().summary());
    // The lost service first: nothing the room's state says can be trusted.
    const int count = unacknowledgedCount();
    QString text = count == 1 ? QStringLiteral("1 unacknowledged alarm: %1")
                              : QStringLiteral("%2 unacknowledged alarms: %1").arg(count);
    text = text.arg(QString::fromLatin1(RoomAlarms::lostName));
    const int shelved = latch().shelvedCount();
    return shelved > 0 ? text + QStringLiteral("; %1 shelved").arg(shelved) : text;
}

QString AlarmCentre::sourceText() const
{
    const QString own = QStringLiteral("This console's own alarms");
    // A console without an archive has only its own: nothing to tell apart.
    if (!room_)
        return ownReason_.isEmpty() ? QString() : own + QStringLiteral(": ") + ownReason_;
    if (room_->live())
        return QStringLiteral("The room's alarms, from ") + QString::fromStdString(room_->service());
    if (!room_->readYet())
        return own + QStringLiteral(": reading the archive");
    if (!room_->reachable())
        return own + QStringLiteral(": the archive is not reachable");
    return own + QStringLiteral(": the alarm service is not heard");
}

QString AlarmCentre::serviceText() const
{
    return room_ ? QString::fromStdString(room_->serviceText()) : QString();
}

void AlarmCentre::linkUp(bool up)
{
    engine_.linkUp(up);
}

void AlarmCentre::tick()
{
    engine_.tick();
    if (!room_)
        return;
    judgeRoom();
    // The service's age, shown to the second.
    emit changed();
}

void AlarmCentre::acknowledgeAll()
{
    acknowledgeLost();
    if (!showsRoom()) {
        engine_.acknowledgeAll(user_.toStdString());
        return;
    }
    if (room_->latch().unacknowledgedCount() > 0)
        ask(AlarmRoomSchema::allPoints, AlarmRoomSchema::acknowledge);
}

void AlarmCentre::acknowledge(AlarmPoint point)
{
    if (showsRoom())
        ask(point.key(), AlarmRoomSchema::acknowledge);
    else
        engine_.acknowledge(point, user_.toStdString());
}

void AlarmCentre::acknowledgeLost()
{
    if (!room_ || !room_->acknowledgeLost(user_.toStdString()))
        return;
    journalLost(AlarmAction::Acknowledged);
    emit changed();
}

// The room's shelf is the service's to make: true once asked.
bool AlarmCentre::shelve(AlarmPoint point, int minutes, const QString& comment)
{
    if (!showsRoom())
        return engine_.shelve(
            point, minutes * std::int64_t{60'000}, user_.toStdString(), comment.toStdString());
    ask(point.key(), AlarmRoomSchema::shelve, minutes, comment);
    return true;
}

void AlarmCentre::unshelve(AlarmPoint point)
{
    if (showsRoom())
        ask(point.key(), AlarmRoomSchema::unshelve);
    else
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
