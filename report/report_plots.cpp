#include "report_plots.h"

#include <qcustomplot.h>

namespace Report {

namespace {

// As the trends window draws them.
const QColor band(120, 160, 230);
const QColor line(0, 70, 200);
const QColor warningColour(200, 140, 0);
const QColor overColour(210, 0, 0);

} // namespace

ReportPlots::ReportPlots() : trend_(std::make_unique<QCustomPlot>())
{
    QCustomPlot& plot = *trend_;
    plot.setAttribute(Qt::WA_DontShowOnScreen);
    plot.setBackground(Qt::white);
    auto ticker = QSharedPointer<QCPAxisTickerDateTime>::create();
    ticker->setDateTimeSpec(Qt::UTC);
    plot.xAxis->setTicker(ticker);
    plot.xAxis->setLabel(QStringLiteral("UTC"));
    plot.legend->setVisible(true);
    plot.legend->setBrush(QColor(255, 255, 255, 210));
    plot.axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignLeft);

    low = plot.addGraph();
    low->setPen(QPen(band, 1));
    low->removeFromLegend();
    high = plot.addGraph();
    high->setPen(QPen(band, 1));
    high->setBrush(QColor(band.red(), band.green(), band.blue(), 90));
    high->setChannelFillGraph(low);
    high->setName(QStringLiteral("least to greatest"));
    mean = plot.addGraph();
    mean->setPen(QPen(line, 2));
    mean->setName(QStringLiteral("mean"));
    warning = plot.addGraph();
    warning->setLineStyle(QCPGraph::lsStepLeft);
    warning->setPen(QPen(warningColour, 2, Qt::DashLine));
    warning->setName(QStringLiteral("warning"));
    overLimit = plot.addGraph();
    overLimit->setLineStyle(QCPGraph::lsStepLeft);
    overLimit->setPen(QPen(overColour, 2, Qt::DashLine));
    overLimit->setName(QStringLiteral("over limit"));
}

ReportPlots::~ReportPlots() = default;

} // namespace Report
