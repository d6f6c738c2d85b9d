#pragma once

#include "alarm_point.h"

#include <QWidget>

#include <vector>

class AlarmCentre;
class QPushButton;
class QTableWidget;

// The alarms and messages window's list of alarms: every point in alarm now
// or not yet acknowledged, most severe first, with its state and times, and
// an acknowledge for the selected one.
class AlarmListPanel : public QWidget {
    Q_OBJECT

public:
    explicit AlarmListPanel(AlarmCentre& centre, QWidget* parent = nullptr);

    QTableWidget* table() const { return table_; }

private:
    void refresh();
    void acknowledgeSelected();
    QString timeText(std::int64_t latchMs) const;

    AlarmCentre& centre_;
    QTableWidget* table_;
    QPushButton* acknowledge_;
    std::vector<AlarmPoint> rows_;
};
