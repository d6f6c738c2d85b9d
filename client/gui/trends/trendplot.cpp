#include "trendplot.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>

CTrendPlot::CTrendPlot(QWidget* parent) : QCustomPlot(parent)
{
    auto ticker = QSharedPointer<QCPAxisTickerDateTime>::create();
    ticker->setDateTimeSpec(Qt::UTC);
    ticker->setDateTimeFormat(QStringLiteral("dd MMM\nHH:mm:ss"));
    xAxis->setTicker(ticker);
    setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    axisRect()->setRangeDrag(Qt::Horizontal);
    axisRect()->setRangeZoom(Qt::Horizontal);
    setNoAntialiasingOnDrag(true);

    values_ = addGraph();
    // Thin pens without antialiasing: a month's envelope is a dense zigzag,
    // and wide or smoothed pens cost Qt's raster engine many times more.
    values_->setPen(QPen(QColor(0, 70, 200), 1));
    values_->setAntialiased(false);
    values_->setAdaptiveSampling(false); // the envelope has done that already
    warning_ = addGraph();
    warning_->setPen(QPen(QColor(200, 140, 0), 1, Qt::DashLine));
    warning_->setAntialiased(false);
    warning_->setLineStyle(QCPGraph::lsStepLeft);
    warning_->setName(tr("warning"));
    overLimit_ = addGraph();
    overLimit_->setPen(QPen(QColor(210, 0, 0), 1, Qt::DashLine));
    overLimit_->setAntialiased(false);
    overLimit_->setLineStyle(QCPGraph::lsStepLeft);
    overLimit_->setName(tr("over limit"));

    connect(xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this, [this](const QCPRange& range) {
        if (!settingRange_)
            emit timeRangeMoved(ms(range.lower), ms(range.upper));
    });
    setMinimumSize(300, 150);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void CTrendPlot::setUp(const QString& caption, const QString& unit, double low, double high)
{
    caption_ = caption;
    unit_ = unit;
    low_ = low;
    high_ = high;
    values_->setName(caption);
    yAxis->setLabel(QStringLiteral("%1 (%2)").arg(caption, unit));
    yAxis->setRange(low, high);
}

void CTrendPlot::setTimeRange(std::int64_t fromMs, std::int64_t toMs)
{
    settingRange_ = true;
    xAxis->setRange(key(fromMs), key(toMs));
    settingRange_ = false;
}

void CTrendPlot::setPoints(QCPGraph* graph, const std::vector<TrendPoint>& points)
{
    QVector<double> keys;
    QVector<double> values;
    keys.reserve(static_cast<qsizetype>(points.size()));
    values.reserve(static_cast<qsizetype>(points.size()));
    for (const TrendPoint& p : points) {
        keys.push_back(key(p.timeMs));
        values.push_back(p.value);
    }
    graph->setData(keys, values, true);
}

void CTrendPlot::setValues(const std::vector<TrendPoint>& points, const TrendEnvelope::Summary& summary)
{
    setPoints(values_, points);
    summary_ = summary;
    fitValueAxis();

    tail_ = TrendTail(points, summary, ms(xAxis->range().lower), ms(xAxis->range().upper), columns());
}

void CTrendPlot::noteLatest(std::int64_t timeMs, double value)
{
    summary_.latestMs = timeMs;
    summary_.latest = value;
}

void CTrendPlot::setLimits(const std::vector<TrendPoint>& warning, const std::vector<TrendPoint>& overLimit)
{
    setPoints(warning_, warning);
    setPoints(overLimit_, overLimit);
    fitValueAxis();
}

// The values shown and both limits, with a little room above and below.
void CTrendPlot::fitValueAxis()
{
    double low = summary_.any ? summary_.minimum : low_;
    double high = summary_.any ? summary_.maximum : high_;
    for (QCPGraph* limit : {warning_, overLimit_}) {
        for (auto it = limit->data()->constBegin(); it != limit->data()->constEnd(); ++it) {
            if (!std::isfinite(it->value))
                continue;
            low = std::min(low, it->value);
            high = std::max(high, it->value);
        }
    }
    const double room = std::max(0.5, (high - low) * 0.08);
    yAxis->setRange(low - room, high + room);
}

int CTrendPlot::columns() const
{
    return std::max(1, axisRect()->width());
}

QString CTrendPlot::utcText(std::int64_t ms, const char* format)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(QString::fromLatin1(format));
}

QString CTrendPlot::description(std::int64_t fromMs, std::int64_t toMs) const
{
    const QString range =
        tr("Shown %1 to %2 UTC").arg(utcText(fromMs, "yyyy-MM-dd HH:mm"), utcText(toMs, "yyyy-MM-dd HH:mm"));
    if (!summary_.any)
        return tr("%1: no readings.").arg(range);
    const auto value = [this](double v) {
        return QStringLiteral("%1 %2").arg(QString::number(v, 'f', 2), unit_);
    };
    return tr("%1. Latest %2 at %3, minimum %4, maximum %5.")
        .arg(range, value(summary_.latest), utcText(summary_.latestMs, "HH:mm:ss"), value(summary_.minimum),
            value(summary_.maximum));
}

bool CTrendPlot::valueAt(int x, std::int64_t& timeMs, double& value) const
{
    const QSharedPointer<QCPGraphDataContainer> data = values_->data();
    if (data->isEmpty())
        return false;
    const double at = xAxis->pixelToCoord(x);
    auto it = data->findBegin(at, false);
    auto best = data->constEnd();
    // The nearest finite value among the two either side of the position.
    for (auto candidate : {it, it == data->constBegin() ? it : it - 1}) {
        if (candidate == data->constEnd() || !std::isfinite(candidate->value))
            continue;
        if (best == data->constEnd() || std::abs(candidate->key - at) < std::abs(best->key - at))
            best = candidate;
    }
    if (best == data->constEnd())
        return false;
    timeMs = ms(best->key);
    value = best->value;
    return true;
}

void CTrendPlot::mouseMoveEvent(QMouseEvent* event)
{
    QCustomPlot::mouseMoveEvent(event);
    emit hovered(static_cast<int>(event->position().x()));
}
