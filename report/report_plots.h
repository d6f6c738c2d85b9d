#pragma once

#include <memory>

class QCPGraph;
class QCustomPlot;

namespace Report {

// The plot the report's trends are drawn with (QCustomPlot's vector
// output): a widget, never shown, with its graphs made once. Create and
// destroy it on the GUI thread; the report may draw with it on one other
// thread at a time, while nothing else touches it, since drawing then only
// sets data and ranges (no object is made or parented there).
class ReportPlots {
public:
    ReportPlots();
    ~ReportPlots();

    ReportPlots(const ReportPlots&) = delete;
    ReportPlots& operator=(const ReportPlots&) = delete;

    QCustomPlot& trend() { return *trend_; }
    // The least and greatest of each bucket (a band), the mean through it,
    // the warning and over-limit setpoints as step lines.
    QCPGraph* low = nullptr;
    QCPGraph* high = nullptr;
    QCPGraph* mean = nullptr;
    QCPGraph* warning = nullptr;
    QCPGraph* overLimit = nullptr;

private:
    std::unique_ptr<QCustomPlot> trend_;
};

} // namespace Report
