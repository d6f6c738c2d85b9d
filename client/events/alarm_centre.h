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

    // staleSeconds 0: readings never go stale.
    AlarmCentre(ClientEvents& events, int staleSeconds, Setpoints setpoints, QObject* parent = nullptr);

    void linkUp(bool up);
    // Once a second: the age of the readings.
    void tick();

    void acknowledgeAll();
    void acknowledge(AlarmPoint point);

    const AlarmLatch& latch() const { return engine_.latch(); }
    bool stale(int housing) const { return engine_.stale(housing); }
    // "updated 4 s ago", "no reading yet"; "STALE, " before it when stale.
    QString ageText(int housing) const;
    QString summary() const { return QString::fromStdString(latch().summary()); }
    // Wall-clock time (ms since 1970) of a latch time.
    std::int64_t wallMs(std::int64_t latchMs) const { return engine_.utcMs(latchMs); }

    static QString userName();

signals:
    // The latch or an age changed: redraw.
    void changed();
    // A point went into alarm (the sound and the notification).
    void raised(const QString& name);

private:
    void reading(const History::Reading& reading);

    ClientEvents& events_;
    Setpoints setpoints_;
    QString user_;
    AlarmEngine engine_;
};
