#pragma once

#include "alarm_point.h"

#include <QWidget>

#include <optional>
#include <vector>

class AlarmCentre;
class CPacedLabel;
class QLabel;
class QPushButton;
class QTableWidget;

// The alarms and messages window's list of alarms: every point in alarm now,
// not yet acknowledged or shelved, most severe first, with its state in
// words and its times; an acknowledge, a shelve and an unshelve for the
// selected one. Above it whose alarms they are (the room's, with its alarm
// service's name, or this console's own and why) and whether the service
// is heard; the console's "Alarm service lost" comes first when shown.
class AlarmListPanel : public QWidget {
    Q_OBJECT

public:
    explicit AlarmListPanel(AlarmCentre& centre, QWidget* parent = nullptr);

    QTableWidget* table() const { return table_; }

private:
    void refresh();
    void updateButtons();
    // The selected row: a point, or the lost service (an empty point).
    std::optional<std::optional<AlarmPoint>> selected() const;
    void setRow(int row, const QString (&texts)[5]);
    void acknowledgeSelected();
    void shelveSelected();
    void unshelveSelected();
    QString timeText(std::int64_t latchMs) const;

    AlarmCentre& centre_;
    QLabel* source_;
    CPacedLabel* service_;
    QTableWidget* table_;
    QPushButton* acknowledge_;
    QPushButton* shelve_;
    QPushButton* unshelve_;
    std::vector<std::optional<AlarmPoint>> rows_; // none: the lost service
};
