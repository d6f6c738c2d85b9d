#pragma once

#include <QDialog>

class LinkState;
namespace KOV {
struct Message;
}

// The alarms and messages window: every message the instrument pushed, one
// row each, with the status row below. Created hidden once; closing only
// hides it.
class CKovStatusDialog : public QDialog {
    Q_OBJECT

public:
    CKovStatusDialog(LinkState& linkState, QWidget* parent);
    ~CKovStatusDialog() override;

    // The indicators and the one-second timer; the window stays hidden.
    bool Create();

    // A new message (the main window forwards every one); null is ignored.
    void OnMessage(const KOV::Message* message);
    void UpdateDisplay(const KOV::Message* message);

    int rowCount() const;
};
