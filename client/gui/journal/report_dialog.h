#pragma once

#include "client_host.h"

#include <QDialog>

#include <cstdint>
#include <functional>
#include <string>

class QComboBox;
class QDateTimeEdit;
class QLabel;
class QProgressBar;
class QPushButton;
class ReportRunner;

// "KOV Report": the shift report of a chosen range from the history the
// windows read, written in the background (ReportRunner) with its progress
// shown, then opened in the desktop's viewer.
class CReportDialog : public QDialog {
    Q_OBJECT

public:
    // The ranges offered, in the order of the list.
    enum Range {
        Last8Hours,
        Last24Hours,
        Last7Days,
        Yesterday,
        Chosen
    };

    CReportDialog(HistorySourceFactory factory, QWidget* parent);
    ~CReportDialog() override;

    // The instrument named on the report (default "KOV").
    void setInstrument(const std::string& name) { instrument_ = name; }
    // How a written report is opened (default: the desktop's viewer).
    void setOpener(std::function<void(const QString& path)> opener) { opener_ = std::move(opener); }

    void chooseRange(Range range);
    void setChosenRange(std::int64_t fromMs, std::int64_t toMs);
    // The range chosen, [from, to) in UTC milliseconds, as of `nowMs`.
    std::pair<std::int64_t, std::int64_t> range(std::int64_t nowMs) const;

    // Writes the report of the range chosen into `path` (Write… asks for it).
    void writeTo(const QString& path);
    bool writing() const;
    QString status() const;

signals:
    void reportDone(bool ok);

private:
    void askAndWrite();
    void rangeChanged();
    void progressed(int percent, const QString& step);
    void finished(bool ok, const QString& message, const QString& path);

    HistorySourceFactory factory_;
    std::string instrument_ = "KOV";
    std::function<void(const QString&)> opener_;
    QComboBox* range_;
    QDateTimeEdit* from_;
    QDateTimeEdit* to_;
    QPushButton* write_;
    QPushButton* stop_;
    QProgressBar* progress_;
    QLabel* status_;
    ReportRunner* runner_;
};
