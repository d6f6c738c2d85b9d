#pragma once

#include "alarm_latch.h"
#include "stale_tracker.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <cstdint>

struct AlarmSetpoints;
class ClientEvents;

// The alarms of the main window: latches every alarm point from the readings,
// the age of each housing's readings and the state of the link, and puts
// every raise, clear and acknowledgement on the typed path (for the journal)
// with the workstation's user name. GUI thread only.
class AlarmCentre : public QObject {
    Q_OBJECT

public:
    // staleSeconds 0: readings never go stale.
    AlarmCentre(ClientEvents& events, int staleSeconds, QObject* parent = nullptr);

    void reading(int housing, double celsius, double percent, bool water, const AlarmSetpoints& setpoints);
    void linkUp(bool up);
    // Once a second: the age of the readings.
    void tick();

    void acknowledgeAll();
    void acknowledge(AlarmPoint point);

    const AlarmLatch& latch() const { return latch_; }
    bool stale(int housing) const;
    // "updated 4 s ago", "no reading yet"; "STALE, " before it when stale.
    QString ageText(int housing) const;
    QString summary() const { return QString::fromStdString(latch_.summary()); }
    // Wall-clock time (ms since 1970) of a latch time.
    std::int64_t wallMs(std::int64_t latchMs) const { return wallStartMs_ + latchMs; }

    static QString userName();

signals:
    // The latch or an age changed: redraw.
    void changed();
    // A point went into alarm (the sound and the notification).
    void raised(const QString& name);

private:
    void set(AlarmPoint point, bool inAlarm);
    void journal(int action, AlarmPoint point);
    std::int64_t nowMs() const { return clock_.elapsed(); }

    ClientEvents& events_;
    QElapsedTimer clock_;
    std::int64_t wallStartMs_;
    AlarmLatch latch_;
    StaleTracker stale_;
    QString user_;
};
