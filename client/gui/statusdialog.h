#pragma once

#include <QDialog>
#include <QTimer>

#include <memory>

class CLinkIndicator;
class CTimeIndicator;
class LinkState;
class MessageListModel;
class QTableView;
namespace KOV {
struct Message;
}
namespace Ui {
class StatusDialog;
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

    // Messages appended so far: the row index of the next one.
    int rowCount() const { return rowCount_; }

    MessageListModel* model() const { return model_; }

    // A panel above the messages (the alarm list); the dialog owns it.
    void addPanel(QWidget* panel);

private:
    void setUpList();
    static void relayOutOnlyForVisibleRows(QTableView* list);
    void setUpLegend();
    void refreshIndicators();

    std::unique_ptr<Ui::StatusDialog> ui_;
    LinkState& linkState_;
    MessageListModel* model_;
    std::unique_ptr<CLinkIndicator> linkIndicator_;
    std::unique_ptr<CTimeIndicator> timeIndicator_;
    QTimer timer_;
    int rowCount_ = 0;
};
