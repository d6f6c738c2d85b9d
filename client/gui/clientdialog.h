#pragma once

#include "alarm_announcer.h"
#include "client_events.h"
#include "display_colour.h"
#include "handoff.h"
#include "housing.h"

#include <QDialog>
#include <QTimer>

#include <memory>

class AlarmCentre;
class AlarmDisplay;
class CAlarmDialog;
class CAnnouncer;
class CKovProgressDialog;
class CKovStatusDialog;
class CLevelBar;
class ClientEvents;
class CTrendsDialog;
class ClientHost;
class LinkStatusRow;
class QLabel;
class QLineEdit;
class QPushButton;
namespace KOV {
struct HousekeepingData;
struct Message;
} // namespace KOV
namespace Ui {
class CKovClientDialog;
}

// The client's main window ("KOV CLIENT"): per housing the temperature and
// humidity gauges and the water sensor, coloured against the housing's
// setpoints; the link picture and the two elapsed times; Reconnect,
// Alarms/Messages and Exit. It receives every event the instrument pushes
// (OnEvent, on the GUI thread) and passes messages and readings on to its
// companion windows, which it creates hidden and owns.
class CKovClientDialog : public QDialog, public HandoffReceiver {
    Q_OBJECT

public:
    explicit CKovClientDialog(ClientHost& host, QWidget* parent = nullptr);
    ~CKovClientDialog() override;

    // Builds the window's contents: gauges in their no-data state, the
    // companions (hidden), the connect progress and the one-second timer.
    bool Create();

    // One pushed payload, by TypeCode: a reading, a message, an instrument
    // event, or a plain text (listed as a message). Valid only during the call.
    void OnEvent(const CORBA::TypeCode* type, const void* value) override;

    // One reading of housing reading.id (0 or 1; others are ignored).
    void UpdateHousing(const KOV::HousekeepingData& reading);

    // Exit: the Exit button, Escape and the close box all come here.
    void reject() override;

    // Hides the window and its companions for good; the program then ends.
    void DestroyWindow();

    // The once-a-second refresh and link watch (the timer's work).
    void OnTimer();
    void OnReconnect();

    CLevelBar* temperatureGauge(int housing) const { return temperature_[housing]; }
    CLevelBar* humidityGauge(int housing) const { return humidity_[housing]; }
    QLineEdit* waterSensor(int housing) const { return water_[housing]; }
    Rgb waterSensorColour(int housing) const { return waterColour_[housing]; }
    CKovStatusDialog* statusDialog() const { return status_.get(); }
    CAlarmDialog* alarmDialog(int housing) const { return alarms_[housing].get(); }
    CKovProgressDialog* progressDialog() const { return progress_.get(); }
    // What each event carried, typed, on the GUI thread (after the window
    // has shown it).
    ClientEvents& events() const;
    CAnnouncer* announcer() const { return announcer_; }
    CTrendsDialog* trendsDialog() const { return trends_.get(); }
    bool timerRunning() const;

    // The link went down, or came back by itself: when back the lost-link
    // box closes and the timer runs again.
    void linkChanged(bool up);
    AlarmCentre& alarmCentre() const;
    AlarmAnnouncer& alarmSound() { return alarmSound_; }

signals:
    // After DestroyWindow.
    void windowDestroyed();

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    void setUpGauges(int housing);
    void setWaterSensor(int housing, Rgb colour, const QString& text);
    void forward(const KOV::Message& message);
    void startTimer1s();
    void stopTimer();
    void setUpAlarms();
    void showStale(int housing);

    std::unique_ptr<Ui::CKovClientDialog> ui_;
    CLevelBar* temperature_[Housing::count] = {};
    CLevelBar* humidity_[Housing::count] = {};
    QLineEdit* water_[Housing::count] = {};
    QLabel* temperatureRange_[Housing::count][2] = {};
    QLabel* humidityRange_[Housing::count][2] = {};
    ClientHost& host_;
    std::unique_ptr<CKovStatusDialog> status_;
    std::unique_ptr<CKovProgressDialog> progress_;
    std::unique_ptr<LinkStatusRow> statusRow_;
    std::unique_ptr<CAlarmDialog> alarms_[Housing::count];
    std::unique_ptr<CTrendsDialog> trends_;
    Rgb waterColour_[Housing::count] = {DisplayColour::noData, DisplayColour::noData};
    CAnnouncer* announcer_ = nullptr; // a child: alarm state changes, spoken
    int timer_ = 0;
    AlarmAnnouncer alarmSound_;
    std::unique_ptr<AlarmDisplay> alarmDisplay_;
    // Ticks the alarms while the main timer is stopped (the link is lost).
    QTimer alarmTicks_;
    bool exiting_ = false;
};
