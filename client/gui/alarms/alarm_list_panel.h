#pragma once

#include "alarm_point.h"

#include <QWidget>

#include <optional>
#include <vector>

class AlarmCentre;
class QPushButton;
class QTableWidget;

// The alarms and messages window's list of alarms: every point in alarm now,
// not yet acknowledged or shelved, most severe first, with its state in
// words and its times; an acknowledge, a shelve and an unshelve for the
// selected one.
class AlarmListPanel : public QWidget {
    Q_OBJECT

public:
    explicit AlarmListPanel(AlarmCentre& centre, QWidget* parent = nullptr);

    QTableWidget* table() const { return table_; }

private:
    void refresh();
    void updateButtons();
    std::optional<AlarmPoint> selected() const;
    void acknowledgeSelected();
    void shelveSelected();
    void unshelveSelected();
    QString timeText(std::int64_t latchMs) const;

    AlarmCentre& centre_;
    QTableWidget* table_;
    QPushButton* acknowledge_;
    QPushButton* shelve_;
    QPushButton* unshelve_;
    std::vector<AlarmPoint> rows_;
};
