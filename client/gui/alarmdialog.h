#pragma once

#include <QDialog>

class ClientHost;
struct AlarmSetpoints;
namespace KOV {
struct HousekeepingData;
}

// The setpoints window of one housing: its latest temperature and humidity,
// their alarm states, and the four setpoints the operator may change.
// Created hidden once; closing only hides it.
class CAlarmDialog : public QDialog {
    Q_OBJECT

public:
    CAlarmDialog(ClientHost& host, QWidget* parent);
    ~CAlarmDialog() override;

    // Binds the housing's setpoint record (owned by the application) and
    // sets the caption; the window stays hidden.
    bool Create(const QString& title, AlarmSetpoints* setpoints);

    // A reading of this dialog's housing; null is ignored.
    void OnHousekeeping(const KOV::HousekeepingData* reading);

    void EvaluateAlarms();
};
