#include "trendsdialog.h"

#include "alarm_setpoints.h"
#include "client_events.h"
#include "history_reader.h"
#include "time_text.h"
#include "trend_export.h"
#include "trendplot.h"
#include "ui_trendsdialog.h"

#include <QDateTime>
#include <QFileDialog>
#include <QPushButton>

#include <algorithm>
#include <chrono>
#include <cmath>

using History::Quantity;
using History::Setpoint;

struct CTrendsDialog::Answer {
    std::int64_t fromMs = 0, toMs = 0;
    bool rollups = false;
    std::array<std::vector<TrendSample>, Housing::count> samples;
    std::array<std::vector<History::SetpointsInForce>, Housing::count> setpoints;
    std::string description;
    std::string error;
};

namespace {

QString utcText(std::int64_t ms, const char* format)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(QString::fromLatin1(format));
}

} // namespace

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
    connect(ui_->liveButton, &QPushButton::clicked, this, [this] { showLast(spanMs_); });
    connect(ui_->exportButton, &QPushButton::clicked, this, &CTrendsDialog::exportShown);

    // Once a second: the time axis moves on while following, and the plots'
    // descriptions are brought up to date (a screen reader is not to be
    // flooded with every reading).
    connect(&secondTimer_, &QTimer::timeout, this, [this] {
        if (following_)
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
            connect(p, &CTrendPlot::timeRangeMoved, this, &CTrendsDialog::onMoved);
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
    if (following_ && !changed_[reading.housing] && drawnAlready(reading)) {
        plot(reading.housing, Quantity::Temperature)->noteLatest(reading.arrivalMs, reading.temperature);
        plot(reading.housing, Quantity::Humidity)->noteLatest(reading.arrivalMs, reading.humidity);
        return;
    }
    changed_[reading.housing] = true;
    if (following_ && isVisible())
        pacer_.request();
}

void CTrendsDialog::onSetpointChanged(const History::SetpointChange& change)
{
    if (change.housing < 0 || change.housing >= Housing::count)
        return;
    limits_[change.housing].change(change);
    changed_[change.housing] = true;
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
    markAll();
    if (isVisible())
        pacer_.request();
}

// A reading that falls into the pixel column of the newest value drawn, and
// within what is drawn there, leaves the plots as they are: the envelope
// would draw the same. This spares the drawing for most readings of a flood.
bool CTrendsDialog::drawnAlready(const History::Reading& reading) const
{
    if (reading.arrivalMs >= toMs_)
        return false;
    for (Quantity q : {Quantity::Temperature, Quantity::Humidity}) {
        const CTrendPlot::Tail& tail = plot(reading.housing, q)->tail();
        const double value = q == Quantity::Temperature ? reading.temperature : reading.humidity;
        if (!tail.valid || reading.arrivalMs < tail.fromMs || reading.arrivalMs >= tail.toMs ||
            !std::isfinite(value) || value < tail.low || value > tail.high)
            return false;
    }
    return true;
}

void CTrendsDialog::markAll()
{
    changed_.fill(true);
}

// The range ends a little after now, so that the newest reading is inside,
// and moves in whole pixel columns: in between, only the plots of a housing
// with new readings are drawn again.
void CTrendsDialog::followNow()
{
    const std::int64_t column = std::max<std::int64_t>(1, spanMs_ / plots_[0][0]->columns());
    const std::int64_t end = nowMs() + std::clamp<std::int64_t>(spanMs_ / 200, 1000, minuteMs);
    const std::int64_t to = (end / column + 1) * column;
    if (to == toMs_ && toMs_ - fromMs_ == spanMs_)
        return;
    toMs_ = to;
    fromMs_ = to - spanMs_;
    markAll();
}

void CTrendsDialog::showLast(std::int64_t spanMs)
{
    spanMs_ = spanMs;
    following_ = true;
    followNow();
    markAll();
    requestHistory();
    pacer_.request();
}

void CTrendsDialog::showRange(std::int64_t fromMs, std::int64_t toMs)
{
    if (toMs <= fromMs)
        return;
    following_ = false;
    fromMs_ = fromMs;
    toMs_ = toMs;
    spanMs_ = toMs - fromMs;
    markAll();
    requestHistory();
    pacer_.request();
}

void CTrendsDialog::onMoved(std::int64_t fromMs, std::int64_t toMs)
{
    showRange(fromMs, toMs);
}

void CTrendsDialog::redraw()
{
    if (following_)
        followNow();
    for (int housing = 0; housing < Housing::count; ++housing) {
        if (!changed_[housing])
            continue;
        changed_[housing] = false;
        for (Quantity q : {Quantity::Temperature, Quantity::Humidity})
            if (std::find(toDraw_.begin(), toDraw_.end(), std::make_pair(housing, q)) == toDraw_.end())
                toDraw_.emplace_back(housing, q);
    }
    drawNext();
}

void CTrendsDialog::drawNext()
{
    drawQueued_ = false;
    if (toDraw_.empty())
        return;
    const auto [housing, quantity] = toDraw_.front();
    toDraw_.erase(toDraw_.begin());
    drawPlot(housing, quantity);
    if (toDraw_.empty() || drawQueued_)
        return;
    drawQueued_ = true;
    QMetaObject::invokeMethod(this, &CTrendsDialog::drawNext, Qt::QueuedConnection);
}

void CTrendsDialog::drawPlot(int housing, Quantity quantity)
{
    CTrendPlot* p = plot(housing, quantity);
    TrendEnvelope envelope(fromMs_, toMs_, p->columns());
    series_[housing].feed(quantity, fromMs_, envelope);
    const TrendEnvelope::Summary summary = envelope.summary();
    p->setTimeRange(fromMs_, toMs_);
    p->setValues(envelope.take(), summary);
    const bool temperature = quantity == Quantity::Temperature;
    const LimitSteps& limits = limits_[housing];
    p->setLimits(limits.line(temperature ? Setpoint::TempWarning : Setpoint::RhWarning, fromMs_, toMs_),
        limits.line(temperature ? Setpoint::OverTemp : Setpoint::OverRh, fromMs_, toMs_));
    p->replot(QCustomPlot::rpQueuedRefresh);
    describedDirty_ = true;
}

void CTrendsDialog::requestHistory()
{
    if (!reader_ || !reader_->available())
        return;
    const bool rollups = spanMs_ > rawLimitMs;
    std::int64_t liveFrom = TrendSeries::never;
    for (const TrendSeries& s : series_)
        liveFrom = std::min(liveFrom, s.liveStartMs());
    const bool covered = loaded_ && loadedRollups_ == rollups && loadedFromMs_ <= fromMs_ &&
        (toMs_ <= loadedToMs_ || loadedToMs_ >= liveFrom);
    if (covered)
        return;
    // Some room either side, so that a short drag needs no new answer.
    const std::int64_t margin = spanMs_ / 4;
    const std::int64_t from = fromMs_ - margin;
    const std::int64_t to = std::min(toMs_ + margin, nowMs() + minuteMs);
    const unsigned generation = ++*generation_;
    std::shared_ptr<std::atomic<unsigned>> latest = generation_;
    ui_->historyStatus->setText(tr("History: reading…"));
    reader_->post([this, generation, latest, from, to, rollups](
                      History::HistorySource* source) -> std::function<void()> {
        // A newer range was asked for meanwhile: this one would be dropped.
        if (!source || latest->load() != generation)
            return {};
        auto answer = std::make_shared<Answer>();
        answer->fromMs = from;
        answer->toMs = to;
        answer->rollups = rollups;
        const std::vector<History::LinkChange> links = source->linkChanges(from, to);
        for (int housing = 0; housing < Housing::count; ++housing) {
            std::vector<TrendSample>& samples = answer->samples[housing];
            if (!rollups)
                samples = TrendSeries::fromReadings(source->readings(housing, from, to));
            // Raw readings are kept for a shorter time than the rollups.
            if (samples.empty())
                samples = TrendSeries::fromRollups(source->rollups(housing, from, to));
            TrendSeries::addGaps(samples, links);
            answer->setpoints[housing] = source->setpoints(housing, from, to);
        }
        answer->description = source->description();
        answer->error = source->lastError();
        return [this, generation, answer] { applyHistory(generation, answer); };
    });
}

void CTrendsDialog::applyHistory(unsigned generation, const std::shared_ptr<Answer>& answer)
{
    if (generation != generation_->load())
        return;
    for (int housing = 0; housing < Housing::count; ++housing) {
        series_[housing].setHistory(std::move(answer->samples[housing]));
        limits_[housing].setHistory(std::move(answer->setpoints[housing]));
    }
    loaded_ = true;
    loadedFromMs_ = answer->fromMs;
    loadedToMs_ = answer->toMs;
    loadedRollups_ = answer->rollups;
    markAll();
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
        QStringLiteral("kov-trends-%1.csv").arg(utcText(fromMs_, "yyyyMMdd-HHmm")), tr("CSV files (*.csv)"));
    if (path.isEmpty())
        return;
    const std::int64_t from = fromMs_;
    const std::int64_t to = toMs_;
    std::array<std::vector<TrendSample>, Housing::count> live;
    std::array<std::int64_t, Housing::count> liveFrom{};
    std::array<std::vector<History::SetpointsInForce>, Housing::count> sets;
    for (int housing = 0; housing < Housing::count; ++housing) {
        live[housing] = series_[housing].liveBetween(from, to);
        liveFrom[housing] = series_[housing].liveStartMs();
        sets[housing] = limits_[housing].sets();
    }
    ui_->exportButton->setEnabled(false);
    ui_->historyStatus->setText(tr("Exporting…"));
    // Written on the reader's thread, an hour at a time, so that a month
    // of readings never sits in memory at once.
    reader_->post([this, path, from, to, live, liveFrom, sets](
                      History::HistorySource* source) -> std::function<void()> {
        TrendExport out(path.toStdString());
        if (out.open()) {
            std::array<std::size_t, Housing::count> next{};
            for (std::int64_t start = from; start < to; start += hourMs) {
                const std::int64_t end = std::min(to, start + hourMs);
                std::vector<std::pair<int, TrendSample>> rows;
                for (int housing = 0; housing < Housing::count; ++housing) {
                    const std::int64_t storeEnd = std::min(end, liveFrom[housing]);
                    if (source && start < storeEnd)
                        for (const History::Reading& r : source->readings(housing, start, storeEnd))
                            rows.emplace_back(
                                housing, TrendSample{r.arrivalMs, r.temperature, r.humidity, r.water});
                    const std::vector<TrendSample>& l = live[housing];
                    for (std::size_t& i = next[housing]; i < l.size() && l[i].timeMs < end; ++i)
                        rows.emplace_back(housing, l[i]);
                }
                std::stable_sort(rows.begin(), rows.end(),
                    [](const auto& a, const auto& b) { return a.second.timeMs < b.second.timeMs; });
                for (const auto& [housing, sample] : rows)
                    out.write(housing, sample, sets[housing]);
            }
        }
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
    ui_->readout->setText(
        QStringLiteral("%1 %2: %3 UTC, %4 %5")
            .arg(QString::fromLatin1(Housing::names[housing]), p->caption().toLower(),
                utcText(timeMs, "yyyy-MM-dd HH:mm:ss"), QString::number(value, 'f', 2), p->unit()));
}

QString CTrendsDialog::describe(const CTrendPlot* p) const
{
    const QString range = tr("Shown %1 to %2 UTC")
                              .arg(utcText(fromMs_, "yyyy-MM-dd HH:mm"), utcText(toMs_, "yyyy-MM-dd HH:mm"));
    const TrendEnvelope::Summary& s = p->summary();
    if (!s.any)
        return tr("%1: no readings.").arg(range);
    const auto value = [p](double v) {
        return QStringLiteral("%1 %2").arg(QString::number(v, 'f', 2), p->unit());
    };
    return tr("%1. Latest %2 at %3, minimum %4, maximum %5.")
        .arg(range, value(s.latest), utcText(s.latestMs, "HH:mm:ss"), value(s.minimum), value(s.maximum));
}

void CTrendsDialog::describePlots()
{
    if (!describedDirty_)
        return;
    describedDirty_ = false;
    for (const auto& housing : plots_)
        for (CTrendPlot* p : housing)
            p->setAccessibleDescription(describe(p));
}

void CTrendsDialog::flushNow()
{
    pacer_.flushNow();
    while (!toDraw_.empty())
        drawNext();
    describePlots();
}

void CTrendsDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (following_)
        followNow();
    requestHistory();
    secondTimer_.start(1000);
    markAll();
    redraw();
    describePlots();
}

void CTrendsDialog::hideEvent(QHideEvent* event)
{
    secondTimer_.stop();
    QDialog::hideEvent(event);
}
