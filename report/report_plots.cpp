#include "report_plots.h"

#include <qcustomplot.h>

namespace Report {

ReportPlots::ReportPlots()
    : trend_(std::make_unique<QCustomPlot>()), timeline_(std::make_unique<QCustomPlot>())
{
    for (QCustomPlot* plot : {trend_.get(), timeline_.get()}) {
        plot->setAttribute(Qt::WA_DontShowOnScreen);
        plot->setNoAntialiasingOnDrag(true);
    }
}

ReportPlots::~ReportPlots() = default;

} // namespace Report
