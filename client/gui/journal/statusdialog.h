#pragma once

#include "client_host.h"

#include <QDialog>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <string>

class AccessibleNotifier;
class CAnnouncer;
class CReportDialog;
class JournalTools;
class LinkState;
class LinkStatusRow;
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
    CAnnouncer* announcer() const { return announcer_; }

    // Where "History…" reads the past (the journal) and "Report…" the
    // shift report's figures.
    void setHistorySource(HistorySourceFactory factory);
    JournalTools* journal() const { return journal_.get(); }
    // The instrument the shift report names (default "KOV").
    void setInstrument(const std::string& name);
    // "KOV Report", made at the first press of Report….
    CReportDialog* reportDialog();

    // A panel above the messages (the alarm list); the dialog owns it.
    void addPanel(QWidget* panel);

private:
    void setUpList();
    static void relayOutOnlyForVisibleRows(QTableView* list);
    void setUpLegend();
    void refreshIndicators();
    void announceNew(int count);
    void showTrimmed(qint64 total);

    std::unique_ptr<Ui::StatusDialog> ui_;
    LinkState& linkState_;
    MessageListModel* model_;
    // Before the list's model goes: an export may still be reading it.
    std::unique_ptr<JournalTools> journal_;
    HistorySourceFactory historyFactory_;
    std::string instrument_ = "KOV";
    std::unique_ptr<CReportDialog> report_;
    std::unique_ptr<LinkStatusRow> statusRow_;
    QTimer timer_;
    int rowCount_ = 0;
    // New messages spoken at most once a second: the message itself, or
    // how many arrived.
    CAnnouncer* announcer_;
    AccessibleNotifier* newMessages_;
    QString lastText_;
    std::uint32_t lastPriority_ = 0;
};
