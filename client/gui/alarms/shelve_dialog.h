#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class ShelveDialog;
}

// "KOV Shelve Alarm": how long to put one alarm aside (15 min, 1 h, 4 h or
// 8 h, the longest a shelf may be) and an optional comment for the journal.
class ShelveDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr int choices[] = {15, 60, 240, 480}; // minutes

    ShelveDialog(const QString& alarmName, QWidget* parent = nullptr);
    ~ShelveDialog() override;

    int minutes() const;
    QString comment() const;

private:
    std::unique_ptr<Ui::ShelveDialog> ui_;
};
