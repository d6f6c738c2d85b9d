#include "statusdialog.h"

CKovStatusDialog::CKovStatusDialog(LinkState&, QWidget* parent) : QDialog(parent) {}
CKovStatusDialog::~CKovStatusDialog() = default;
bool CKovStatusDialog::Create()
{
    return true;
}
void CKovStatusDialog::OnMessage(const KOV::Message* message)
{
    UpdateDisplay(message);
}
void CKovStatusDialog::UpdateDisplay(const KOV::Message*) {}
int CKovStatusDialog::rowCount() const
{
    return 0;
}
