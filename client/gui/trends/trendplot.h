#pragma once

#include "trend_envelope.h"
#include "trend_tail.h"

#include <qcustomplot.h>

#include <vector>

// One trend: a channel's values against UTC time, with its warning and
// over-limit setpoints as step lines. The time axis is dragged and zoomed
// with the mouse (horizontally only); the value axis follows what is shown.
// Keys are seconds since 1970, as QCustomPlot's date ticker counts them.
class CTrendPlot : public QCustomPlot {
    Q_OBJECT

public:
    explicit CTrendPlot(QWidget* parent = nullptr);

    // Caption, unit ("°C", "%") and the value range shown when there is
    // nothing to fit the axis to.
    void setUp(const QString& caption, const QString& unit, double low, double high);

    void setTimeRange(std::int64_t fromMs, std::int64_t toMs);
    void setValues(const std::vector<TrendPoint>& points, const TrendEnvelope::Summary& summary);
    void setLimits(const std::vector<TrendPoint>& warning, const std::vector<TrendPoint>& overLimit);

    // The pixel columns of the plot area: how many values are worth drawing.
    int columns() const;
    const QString& unit() const { return unit_; }
    const QString& caption() const { return caption_; }
    const TrendEnvelope::Summary& summary() const { return summary_; }

    // The pixel column of the newest value drawn.
    const TrendTail& tail() const { return tail_; }
    // A newer value that changes nothing drawn: only the summary learns it.
    void noteLatest(std::int64_t timeMs, double value);

    // For screen readers: the range shown, and the latest, least and
    // greatest value in it.
    QString description(std::int64_t fromMs, std::int64_t toMs) const;

    // The drawn value nearest to a widget x position; false when none.
    bool valueAt(int x, std::int64_t& timeMs, double& value) const;

    // A UTC time as `format` (QDateTime's) writes it.
    static QString utcText(std::int64_t ms, const char* format);
    static double key(std::int64_t ms) { return ms / 1000.0; }
    static std::int64_t ms(double key) { return static_cast<std::int64_t>(std::llround(key * 1000.0)); }

signals:
    // The operator dragged or zoomed the time axis.
    void timeRangeMoved(std::int64_t fromMs, std::int64_t toMs);
    void hovered(int x);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void fitValueAxis();
    static void setPoints(QCPGraph* graph, const std::vector<TrendPoint>& points);

    QCPGraph* values_ = nullptr;
    QCPGraph* warning_ = nullptr;
    QCPGraph* overLimit_ = nullptr;
    QString caption_;
    QString unit_;
    double low_ = 0.0;
    double high_ = 1.0;
    bool settingRange_ = false;
    TrendEnvelope::Summary summary_;
    TrendTail tail_;
};
