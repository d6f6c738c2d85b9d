#pragma once

#include "journal_entries.h"

#include <QAbstractTableModel>
#include <QDialog>

#include <vector>

class HistoryReader;
class QDateTimeEdit;
class QLabel;
class QPushButton;
class QTableView;

// The entries of a past range, for the history window.
class JournalEntryModel : public QAbstractTableModel {
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;
    void setEntries(std::vector<JournalEntry> entries);
    const std::vector<JournalEntry>& entries() const { return entries_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<JournalEntry> entries_;
};

// "KOV History": the messages, setpoint changes, link changes and alarm
// records of a chosen past range, read from the history on the reader's
// thread; "Export…" writes them as CSV.
class CJournalHistoryDialog : public QDialog {
    Q_OBJECT

public:
    CJournalHistoryDialog(HistoryReader& reader, QWidget* parent);

    // Reads the range chosen (UTC).
    void showChosenRange();
    void showRange(std::int64_t fromMs, std::int64_t toMs);
    QString status() const;
    JournalEntryModel* model() const { return model_; }

signals:
    void entriesShown();

private:
    void exportShown();

    HistoryReader& reader_;
    QDateTimeEdit* from_;
    QDateTimeEdit* to_;
    QPushButton* show_;
    QPushButton* export_;
    QLabel* status_;
    QTableView* list_;
    JournalEntryModel* model_;
    unsigned generation_ = 0;
};
