#pragma once

#include "alarm_engine.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>

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
class AlarmCentre : public QObject {
    Q_OBJECT

public:
    // The setpoints in force for a housing, read at each reading.
    using Setpoints = std::function<const AlarmSetpoints&(int housing)>;

    AlarmCentre(
        ClientEvents& events, const AlarmSettings& settings, Setpoints setpoints, QObject* parent = nullptr);

    void linkUp(bool up);
    // Once a second: the age of the readings, delays, shelves.
    void tick();

    void acknowledgeAll();
    void acknowledge(AlarmPoint point);
    // The operator puts a point aside for `minutes` (at most 8 hours).
    bool shelve(AlarmPoint point, int minutes, const QString& comment);
    void unshelve(AlarmPoint point);
    // A shelf in force before the restart.
    void restoreShelf(AlarmPoint point, std::int64_t untilUtcMs, const QString& user, const QString& comment);

    const AlarmLatch& latch() const { return engine_.latch(); }
    bool stale(int housing) const { return engine_.stale(housing); }
    // "updated 4 s ago", "no reading yet"; "STALE, " before it when stale.
    QString ageText(int housing) const;
    QString summary() const { return QString::fromStdString(latch().summary()); }
    // Wall-clock time (ms since 1970) of a latch time.
    std::int64_t wallMs(std::int64_t latchMs) const { return engine_.utcMs(latchMs); }

    // The account's name from the system, never from the environment.
    static QString userName();

signals:
    // The latch or an age changed: redraw.
    void changed();
    // A point is to be heard (the sound and the notification); only a point
    // newly shown that does not chatter cancels a silence.
    void raised(const QString& name, bool cancelsSilence);

private:
    void reading(const History::Reading& reading);

    ClientEvents& events_;
    Setpoints setpoints_;
    QString user_;
    AlarmEngine engine_;
};
