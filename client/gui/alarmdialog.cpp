#include "alarmdialog.h"

CAlarmDialog::CAlarmDialog(ClientHost&, QWidget* parent) : QDialog(parent) {}
CAlarmDialog::~CAlarmDialog() = default;
bool CAlarmDialog::Create(const QString& title, AlarmSetpoints*)
{
    setWindowTitle(title);
    return true;
}
void CAlarmDialog::OnHousekeeping(const KOV::HousekeepingData*) {}
void CAlarmDialog::EvaluateAlarms() {}
