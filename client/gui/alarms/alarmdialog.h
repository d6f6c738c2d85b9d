#pragma once

#include "alarm_levels.h"
#include "display_colour.h"
#include "frame_pacer.h"
#include "history_records.h"

#include <QDialog>

#include <array>
#include <memory>
#include <optional>

class CPacedLabel;
class ClientHost;
class QLabel;
class QLineEdit;
class QPushButton;
struct AlarmSetpoints;
namespace KOV {
struct HousekeepingData;
}
namespace Ui {
class CAlarmDialog;
}

// The setpoints window of one housing: its latest temperature and humidity,
// their alarm states, and the four setpoints the operator may change.
// Created hidden once; closing only hides it.
class CAlarmDialog : public QDialog {
    Q_OBJECT

public:
    CAlarmDialog(ClientHost& host, QWidget* parent);
    ~CAlarmDialog() override;

    // Binds the housing's setpoint record (owned by the application), fills
    // the four edits from it once and sets the caption; the window stays
    // hidden. False for a null record.
    bool Create(const QString& title, AlarmSetpoints* setpoints);

    // A reading of this dialog's housing; null is ignored.
    void OnHousekeeping(const KOV::HousekeepingData* reading);

    // Both status fields from the last readings and the record as it is now.
    void EvaluateAlarms();

    Rgb tempStatusColour() const { return tempStatusColour_; }
    Rgb rhStatusColour() const { return rhStatusColour_; }

signals:
    // A "Set" changed a setpoint (not emitted when the value stays the same).
    void setpointStored(History::Setpoint which, double oldValue, double newValue);

protected:
    void showEvent(QShowEvent* event) override;

private:
    // One setpoint: its edit, the label that names it, its "Set" button and
    // the record field the button stores into.
    struct Setpoint {
        QLineEdit* edit;
        QLabel* label;
        QPushButton* button;
        double AlarmSetpoints::*field;
    };

    void showReadings();
    static void setIfChanged(CPacedLabel* label, const QString& text);
    void bindSetpoints();
    void fillEdits();
    void store(const Setpoint& pressed);
    std::optional<double> readEdit(const Setpoint& setpoint);
    void refuse(const Setpoint& setpoint, const QString& request);
    static void showStatus(QLineEdit* field, AlarmLevels::State state, const char* text, Rgb colour);

    ClientHost& host_;
    std::unique_ptr<Ui::CAlarmDialog> ui_;
    AlarmSetpoints* setpoints_ = nullptr;
    // In the order a "Set" press reads and checks them.
    std::array<Setpoint, 4> edits_{};
    double currentTemp_ = AlarmLevels::noData;
    double currentRh_ = AlarmLevels::noData;
    Rgb tempStatusColour_ = DisplayColour::noData;
    Rgb rhStatusColour_ = DisplayColour::noData;
    FramePacer showReadings_;
    bool readingsWaiting_ = false; // taken while hidden, shown when shown
};
