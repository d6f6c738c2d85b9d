#include "trendsdialog.h"

#include "alarm_setpoints.h"
#include "client_events.h"
#include "history_reader.h"
#include "trend_export.h"
#include "trend_export_rows.h"
#include "trendplot.h"
#include "ui_trendsdialog.h"

#include <QFileDialog>
#include <QPushButton>

#include <algorithm>
#include <chrono>

using History::Quantity;
using History::Setpoint;

CTrendsDialog::CTrendsDialog(ClientHost& host, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::TrendsDialog>()),
      host_(host),
      pacer_([this] { redraw(); }, this)
{
    ui_->setupUi(this);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
        Qt::WindowCloseButtonHint);
    setUpPlots();

    const std::pair<QPushButton*, std::int64_t> presets[] = {{ui_->range10mButton, 10 * minuteMs},
        {ui_->range1hButton, hourMs}, {ui_->range8hButton, 8 * hourMs}, {ui_->range24hButton, dayMs},
        {ui_->range7dButton, 7 * dayMs}, {ui_->range30dButton, 30 * dayMs}};
    for (const auto& [button, span] : presets)
        connect(button, &QPushButton::clicked, this, [this, span = span] { showLast(span); });
    connect(ui_->liveButton, &QPushButton::clicked, this, [this] { showLast(range_.spanMs()); });
    connect(ui_->exportButton, &QPushButton::clicked, this, &CTrendsDialog::exportShown);

    // Once a second: the time axis moves on while following, and the plots'
    // descriptions are brought up to date (a screen reader is not to be
    // flooded with every reading).
    connect(&secondTimer_, &QTimer::timeout, this, [this] {
        if (range_.following())
            pacer_.request();
        describePlots();
    });
    followNow();
}

CTrendsDialog::~CTrendsDialog() = default;

void CTrendsDialog::setUpPlots()
{
    plots_[0] = {ui_->electronicsTemperaturePlot, ui_->electronicsHumidityPlot};
    plots_[1] = {ui_->spectrographTemperaturePlot, ui_->spectrographHumidityPlot};
    for (auto& housing : plots_) {
        housing[0]->setUp(tr("Temperature"), QStringLiteral("°C"), 0, 50);
        housing[1]->setUp(tr("Relative humidity"), QStringLiteral("%"), 0, 100);
        for (CTrendPlot* p : housing) {
            connect(p, &CTrendPlot::timeRangeMoved, this, &CTrendsDialog::showRange);
            connect(p, &CTrendPlot::hovered, this, [this, p](int x) { showReadout(p, x); });
        }
    }
}

void CTrendsDialog::Create()
{
    reader_ = std::make_unique<HistoryReader>(host_.historySourceFactory(), this);
    for (int housing = 0; housing < Housing::count; ++housing) {
        const AlarmSetpoints& s = host_.setpoints(housing);
        limits_[housing].setBase({0, s.tempWarning, s.overTemp, s.rhWarning, s.overRh});
    }
    ui_->historyStatus->setText(
        reader_->available() ? tr("History: reading…") : tr("History is not available: live data only."));
}

void CTrendsDialog::listenTo(ClientEvents& events)
{
    connect(&events, &ClientEvents::reading, this, &CTrendsDialog::onReading);
    connect(&events, &ClientEvents::setpointChanged, this, &CTrendsDialog::onSetpointChanged);
    connect(&events, &ClientEvents::linkChanged, this, &CTrendsDialog::onLinkChanged);
}

CTrendPlot* CTrendsDialog::plot(int housing, Quantity quantity) const
{
    return plots_[housing][quantity == Quantity::Temperature ? 0 : 1];
}

std::int64_t CTrendsDialog::nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// Inside the push: a copy into the buffer, and a frame asked for.
void CTrendsDialog::onReading(const History::Reading& reading)
{
    if (reading.housing < 0 || reading.housing >= Housing::count)
        return;
    series_[reading.housing].appendLive(
        {reading.arrivalMs, reading.temperature, reading.humidity, reading.water, false});
    describedDirty_ = true;
    if (range_.following() && !drawQueue_.marked(reading.housing) && drawnAlready(reading)) {
        plot(reading.housing, Quantity::Temperature)->noteLatest(reading.arrivalMs, reading.temperature);
        plot(reading.housing, Quantity::Humidity)->noteLatest(reading.arrivalMs, reading.humidity);
        return;
    }
    drawQueue_.mark(reading.housing);
    if (range_.following() && isVisible())
        pacer_.request();
}

void CTrendsDialog::onSetpointChanged(const History::SetpointChange& change)
{
    if (change.housing < 0 || change.housing >= Housing::count)
        return;
    limits_[change.housing].change(change);
    drawQueue_.mark(change.housing);
    if (isVisible())
        pacer_.request();
}

void CTrendsDialog::onLinkChanged(const History::LinkChange& change)
{
    TrendSample gap;
    gap.timeMs = change.timeMs;
    gap.linkGap = true;
    for (TrendSeries& series : series_)
        series.appendLive(gap);
    drawQueue_.markAll();
    if (isVisible())
        pacer_.request();
}

// A reading that falls into the pixel column of the newest value drawn, and
// within what is drawn there, leaves the plots as they are: the envelope
// would draw the same. This spares the drawing for most readings of a flood.
bool CTrendsDialog::drawnAlready(const History::Reading& reading) const
{
    const int h = reading.housing;
    return reading.arrivalMs < range_.toMs() &&
        plot(h, Quantity::Temperature)->tail().holds(reading.arrivalMs, reading.temperature) &&
        plot(h, Quantity::Humidity)->tail().holds(reading.arrivalMs, reading.humidity);
}

// Between moves of the range, only the plots of a housing with new readings
// are drawn again.
void CTrendsDialog::followNow()
{
    if (range_.follow(nowMs(), plots_[0][0]->columns()))
        drawQueue_.markAll();
}

void CTrendsDialog::showLast(std::int64_t spanMs)
{
    range_.showLast(spanMs, nowMs(), plots_[0][0]->columns());
    drawQueue_.markAll();
    requestHistory();
    pacer_.request();
}

void CTrendsDialog::showRange(std::int64_t fromMs, std::int64_t toMs)
{
    if (!range_.showRange(fromMs, toMs))
        return;
    drawQueue_.markAll();
    requestHistory();
    pacer_.request();
}

void CTrendsDialog::redraw()
{
    followNow();
    drawQueue_.startFrame();
    drawNext();
}

void CTrendsDialog::drawNext()
{
    drawQueued_ = false;
    TrendDrawQueue::Plot next;
    if (!drawQueue_.take(next))
        return;
    drawPlot(next.housing, next.quantity);
    if (drawQueue_.empty() || drawQueued_)
        return;
    drawQueued_ = true;
    QMetaObject::invokeMethod(this, &CTrendsDialog::drawNext, Qt::QueuedConnection);
}

void CTrendsDialog::drawPlot(int housing, Quantity quantity)
{
    CTrendPlot* p = plot(housing, quantity);
    const std::int64_t from = range_.fromMs();
    const std::int64_t to = range_.toMs();
    TrendEnvelope envelope(from, to, p->columns());
    series_[housing].feed(quantity, from, envelope);
    const TrendEnvelope::Summary summary = envelope.summary();
    p->setTimeRange(from, to);
    p->setValues(envelope.take(), summary);
    const bool temperature = quantity == Quantity::Temperature;
    const LimitSteps& limits = limits_[housing];
    p->setLimits(limits.line(temperature ? Setpoint::TempWarning : Setpoint::RhWarning, from, to),
        limits.line(temperature ? Setpoint::OverTemp : Setpoint::OverRh, from, to));
    p->replot(QCustomPlot::rpQueuedRefresh);
    describedDirty_ = true;
}

void CTrendsDialog::requestHistory()
{
    if (!reader_ || !reader_->available())
        return;
    std::int64_t liveFrom = TrendSeries::never;
    for (const TrendSeries& s : series_)
        liveFrom = std::min(liveFrom, s.liveStartMs());
    const TrendQuery query =
        TrendQuery::forRange(range_.fromMs(), range_.toMs(), nowMs(), plots_[0][0]->columns());
    if (loaded_ && loaded_->covers(query, liveFrom))
        return;
    const unsigned generation = ++*generation_;
    std::shared_ptr<std::atomic<unsigned>> latest = generation_;
    ui_->historyStatus->setText(tr("History: reading…"));
    reader_->post([this, generation, latest, query](History::HistorySource* source) -> std::function<void()> {
        // A newer range was asked for meanwhile: this one would be dropped.
        if (!source || latest->load() != generation)
            return {};
        auto answer = std::make_shared<TrendQuery::Answer>(query.read(*source));
        return [this, generation, query, answer] { applyHistory(generation, query, answer); };
    });
}

void CTrendsDialog::applyHistory(
    unsigned generation, const TrendQuery& query, const std::shared_ptr<TrendQuery::Answer>& answer)
{
    if (generation != generation_->load())
        return;
    for (int housing = 0; housing < Housing::count; ++housing) {
        series_[housing].setHistory(std::move(answer->samples[housing]));
        limits_[housing].setHistory(std::move(answer->setpoints[housing]));
    }
    loaded_ = query;
    drawQueue_.markAll();
    ui_->historyStatus->setText(answer->error.empty()
            ? tr("History: %1").arg(QString::fromStdString(answer->description))
            : tr("History could not be read: %1").arg(QString::fromStdString(answer->error)));
    redraw();
    emit historyShown();
}

void CTrendsDialog::exportShown()
{
    if (!reader_)
        return;
    const QString path = QFileDialog::getSaveFileName(this, tr("Export the shown range"),
        QStringLiteral("kov-trends-%1.csv").arg(CTrendPlot::utcText(range_.fromMs(), "yyyyMMdd-HHmm")),
        tr("CSV files (*.csv)"));
    if (path.isEmpty())
        return;
    auto rows = std::make_shared<TrendExportRows>(range_.fromMs(), range_.toMs());
    std::array<std::vector<History::SetpointsInForce>, Housing::count> sets;
    for (int housing = 0; housing < Housing::count; ++housing) {
        const TrendSeries& series = series_[housing];
        rows->setLive(housing, series.liveBetween(range_.fromMs(), range_.toMs()), series.liveStartMs());
        sets[housing] = limits_[housing].sets();
    }
    ui_->exportButton->setEnabled(false);
    ui_->historyStatus->setText(tr("Exporting…"));
    // Written on the reader's thread.
    reader_->post([this, path, rows, sets](History::HistorySource* source) -> std::function<void()> {
        TrendExport out(path.toStdString());
        if (out.open())
            rows->run(
                source, [&](int housing, const TrendSample& s) { out.write(housing, s, sets[housing]); });
        const bool ok = out.close();
        const QString text = ok ? tr("Exported %1 readings to %2").arg(out.rows()).arg(path)
                                : tr("The export failed: %1").arg(QString::fromStdString(out.error()));
        return [this, text] {
            ui_->exportButton->setEnabled(true);
            ui_->historyStatus->setText(text);
        };
    });
}

void CTrendsDialog::showReadout(CTrendPlot* p, int x)
{
    std::int64_t timeMs = 0;
    double value = 0;
    if (!p->valueAt(x, timeMs, value))
        return;
    int housing = p == plots_[1][0] || p == plots_[1][1] ? 1 : 0;
    ui_->readout->setText(QStringLiteral("%1 %2: %3 UTC, %4 %5")
                              .arg(QString::fromLatin1(Housing::names[housing]), p->caption().toLower(),
                                  CTrendPlot::utcText(timeMs, "yyyy-MM-dd HH:mm:ss"),
                                  QString::number(value, 'f', 2), p->unit()));
}

void CTrendsDialog::describePlots()
{
    if (!describedDirty_)
        return;
    describedDirty_ = false;
    for (const auto& housing : plots_)
        for (CTrendPlot* p : housing)
            p->setAccessibleDescription(p->description(range_.fromMs(), range_.toMs()));
}

void CTrendsDialog::flushNow()
{
    pacer_.flushNow();
    while (!drawQueue_.empty())
        drawNext();
    describePlots();
}

void CTrendsDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    followNow();
    requestHistory();
    secondTimer_.start(1000);
    drawQueue_.markAll();
    redraw();
    describePlots();
}

void CTrendsDialog::hideEvent(QHideEvent* event)
{
    secondTimer_.stop();
    QDialog::hideEvent(event);
}
