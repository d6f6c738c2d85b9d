#pragma once

#include <memory>

class QCustomPlot;

namespace Report {

// The plots the report's trends and alarm timeline are drawn with
// (QCustomPlot's vector output). They are widgets, never shown: create and
// destroy them on the GUI thread; the report may draw with them on one
// other thread at a time while nothing else touches them.
class ReportPlots {
public:
    ReportPlots();
    ~ReportPlots();

    ReportPlots(const ReportPlots&) = delete;
    ReportPlots& operator=(const ReportPlots&) = delete;

    QCustomPlot& trend() { return *trend_; }
    QCustomPlot& timeline() { return *timeline_; }

private:
    std::unique_ptr<QCustomPlot> trend_;
    std::unique_ptr<QCustomPlot> timeline_;
};

} // namespace Report
