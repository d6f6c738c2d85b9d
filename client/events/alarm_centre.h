#pragma once

#include "alarm_engine.h"
#include "room_alarm_reader.h"
#include "room_alarms.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

struct AlarmSetpoints;
class ClientEvents;
namespace History {
struct Reading;
}

// The alarm engine as the client's windows see it: it takes every reading
// from the event bus and the link's state from the application, puts every
// raise, clear and acknowledgement on the bus (for the journal) with the
// workstation's user name, and signals what the windows redraw. The
// application owns it; GUI thread only.
//
// With an archive it follows the room's alarms (followRoom): while the
// instrument's alarm service is heard, the windows show the service's state
// and the console's acknowledgements and shelves go to the service through
// the archive; otherwise (the archive down, the service silent) they show
// this console's own engine, which runs all along, and say why. A service
// not heard for 30 s is an alarm of the console's own: "Alarm service lost".
class AlarmCentre : public QObject {
    Q_OBJECT

public:
    // The setpoints in force for a housing, read at each reading.
    using Setpoints = std::function<const AlarmSetpoints&(int housing)>;

    AlarmCentre(
        ClientEvents& events, const AlarmSettings& settings, Setpoints setpoints, QObject* parent = nullptr);

    // Follows the room's alarms in the archive from now on.
    void followRoom(RoomAlarmReader::Options options, RoomAlarms::Timing timing = {});
    // Without a room: why this console shows its own alarms ("the archive is a
    // file, with no alarm service"); none for a console without an archive.
    void setOwnReason(const QString& reason);

    void linkUp(bool up);
    // Once a second: the age of the readings, delays, shelves.
    void tick();

    void acknowledgeAll();
    void acknowledge(AlarmPoint point);
    void acknowledgeLost();
    // The operator puts a point aside for `minutes` (at most 8 hours).
    bool shelve(AlarmPoint point, int minutes, const QString& comment);
    void unshelve(AlarmPoint point);
    // A shelf in force before the restart.
    void restoreShelf(AlarmPoint point, std::int64_t untilUtcMs, const QString& user, const QString& comment);

    // What the windows show: the room's latch while it is followed, else
    // this console's own.
    const AlarmLatch& latch() const { return showsRoom() ? room_->latch() : engine_.latch(); }
    bool showsRoom() const { return room_ && room_->live(); }
    // The console's "Alarm service lost" alarm; null without a room.
    const RoomAlarms::Lost* lostAlarm() const { return room_ ? &room_->lost() : nullptr; }
    // Unacknowledged and not shelved, the lost service included.
    int unacknowledgedCount() const;
    // "The room's alarms, from kovrecorder on db1, process 4711", or
    // "This console's own alarms: the archive is not reachable", ...
    QString sourceText() const;
    // "Alarm service: running", "Alarm service: not heard for 12 s"; empty
    // without a room.
    QString serviceText() const;
    bool stale(int housing) const { return engine_.stale(housing); }
    // "updated 4 s ago", "no reading yet"; "STALE, " before it when stale.
    QString ageText(int housing) const;
    QString summary() const;
    // Wall-clock time (ms since 1970) of a latch time (the room's are).
    std::int64_t wallMs(std::int64_t latchMs) const { return showsRoom() ? latchMs : engine_.utcMs(latchMs); }

    // The account's name from the system, never from the environment.
    static QString userName();

signals:
    // The latch or an age changed: redraw.
    void changed();
    // A point is to be heard (the sound and the notification); only a point
    // newly shown that does not chatter cancels a silence.
    void raised(const QString& name, bool cancelsSilence);
    // What the windows show changed between the room's and the console's
    // own (to be spoken).
    void sourceChanged(const QString& text);
    // The archive refused an action of this console (to be shown).
    void refused(const QString& text);

private:
    void reading(const History::Reading& reading);
    void roomRead(const RoomAlarmSnapshot& snapshot);
    void judgeRoom();
    void answered(const RoomActionAnswer& answer);
    void ask(const std::string& pointKey, const char* action, int minutes = 0, const QString& comment = {});
    void journalLost(AlarmAction action);

    ClientEvents& events_;
    Setpoints setpoints_;
    QString user_;
    AlarmEngine engine_;
    QString ownReason_;
    std::unique_ptr<RoomAlarms> room_;
    std::unique_ptr<RoomAlarmReader> reader_;
    QString shownSource_;
};
