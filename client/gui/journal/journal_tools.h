#pragma once

#include "client_host.h"

#include <QObject>

#include <atomic>
#include <memory>

class CJournalHistoryDialog;
class HistoryReader;
class MessageListModel;
class QComboBox;
class QDialog;
class QLabel;
class QLineEdit;
class QPushButton;

// What the alarms and messages window offers beside its list: a filter by
// priority, a search narrowing the list as one types, the history of a past
// range and the export of the list as shown. Owned by the window, and gone
// before the window's list.
class JournalTools : public QObject {
    Q_OBJECT

public:
    struct Controls {
        QComboBox* priority;
        QLineEdit* search;
        QPushButton* history;
        QPushButton* exportButton;
        QLabel* status;
    };

    JournalTools(QDialog* window, MessageListModel* model, const Controls& controls);
    ~JournalTools() override;

    // Where "History…" reads; without it only this run's messages exist.
    void setHistorySource(HistorySourceFactory factory);
    CJournalHistoryDialog* historyDialog() const { return history_.get(); }

private:
    void applyFilter();
    void showHistory();
    void exportShown();
    HistoryReader& reader();

    QDialog* window_;
    MessageListModel* model_;
    Controls controls_;
    std::unique_ptr<HistoryReader> reader_;
    std::unique_ptr<CJournalHistoryDialog> history_;
    // Set before the list goes: an export still running stops reading it.
    std::shared_ptr<std::atomic<bool>> closing_ = std::make_shared<std::atomic<bool>>(false);
};
