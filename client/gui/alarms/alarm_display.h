#pragma once

#include "alarm_point.h"
#include "housing.h"

#include <QObject>
#include <QTimer>

#include <functional>

class AlarmAnnouncer;
class AlarmCentre;
class CLevelBar;
class CPacedLabel;
class QLabel;
class QLineEdit;
class QPushButton;

// What the main window shows of the alarms: the alarm row (how many are
// unacknowledged and the most severe in words, flashing at 1 Hz while any
// is; Acknowledge and Silence), whose alarms they are (the room's or this
// console's own, and why) and whether the room's alarm service is heard,
// each housing's data age, the gauges' and water sensors' descriptions, the
// stale look, and the reconnect countdown.
class AlarmDisplay : public QObject {
    Q_OBJECT

public:
    struct Widgets {
        QLabel* summary = nullptr;
        QPushButton* acknowledge = nullptr;
        QPushButton* silence = nullptr;
        QLabel* source = nullptr;
        CPacedLabel* service = nullptr;
        QLabel* reconnect = nullptr;
        QLabel* age[Housing::count] = {};
        CLevelBar* temperature[Housing::count] = {};
        CLevelBar* humidity[Housing::count] = {};
        QLineEdit* water[Housing::count] = {};
    };

    // showStale(housing): the window shows that housing as stale.
    AlarmDisplay(AlarmCentre& centre, AlarmAnnouncer& announcer, const Widgets& widgets,
        std::function<void(int)> showStale, std::function<int()> reconnectSeconds);

    // Once a second: ages, stale housings, the countdown, the sound.
    void tick();
    // Redraws from the latch (after every change).
    void refresh();
    bool flashing() const { return flash_.isActive(); }

private:
    void flash();
    void setFlashColour(bool on);
    QString gaugeNote(AlarmPoint point) const;

    AlarmCentre& centre_;
    AlarmAnnouncer& announcer_;
    Widgets w_;
    std::function<void(int)> showStale_;
    std::function<int()> reconnectSeconds_;
    QTimer flash_;
    bool flashOn_ = false;
};
