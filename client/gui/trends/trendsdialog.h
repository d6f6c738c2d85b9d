#pragma once

#include "client_host.h"
#include "frame_pacer.h"
#include "history_records.h"
#include "housing.h"
#include "limit_steps.h"
#include "trend_draw_queue.h"
#include "trend_query.h"
#include "trend_range.h"
#include "trend_series.h"

#include <QDialog>
#include <QTimer>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

class ClientEvents;
class CTrendPlot;
class HistoryReader;
namespace Ui {
class TrendsDialog;
}

// "KOV Trends": per housing the temperature and the humidity against UTC
// time, with the warning and over-limit setpoints as they were at each time.
// Readings arrive through ClientEvents into a buffer; the plots follow at
// frame rate. Older ranges come from the history, read on a thread of their
// own; without a history the window shows what arrived while it ran.
// Created hidden once; closing only hides it.
class CTrendsDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr std::int64_t minuteMs = TrendRange::minuteMs;
    static constexpr std::int64_t hourMs = TrendRange::hourMs;
    static constexpr std::int64_t dayMs = TrendRange::dayMs;
    // Longer ranges are drawn from the per-minute rollups, summarised per
    // pixel column in the store.
    static constexpr std::int64_t rawLimitMs = TrendQuery::rawLimitMs;

    CTrendsDialog(ClientHost& host, QWidget* parent);
    ~CTrendsDialog() override;

    // The history reader (from the host's factory) and the base setpoints.
    void Create();
    // Readings, setpoint and link changes from here on.
    void listenTo(ClientEvents& events);

    // The last `spanMs`, following the live readings.
    void showLast(std::int64_t spanMs);
    // A fixed range (as after a drag), not following.
    void showRange(std::int64_t fromMs, std::int64_t toMs);
    bool following() const { return range_.following(); }
    std::int64_t fromMs() const { return range_.fromMs(); }
    std::int64_t toMs() const { return range_.toMs(); }

    CTrendPlot* plot(int housing, History::Quantity quantity) const;
    // Draws what is due now and brings the accessible descriptions up to date.
    void flushNow();

signals:
    // A history answer has been drawn (for the benchmarks).
    void historyShown();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void setUpPlots();
    void onReading(const History::Reading& reading);
    void onSetpointChanged(const History::SetpointChange& change);
    void onLinkChanged(const History::LinkChange& change);
    void redraw();
    void drawNext();
    void drawPlot(int housing, History::Quantity quantity);
    bool drawnAlready(const History::Reading& reading) const;
    void requestHistory();
    void applyHistory(
        unsigned generation, const TrendQuery& query, const std::shared_ptr<TrendQuery::Answer>& answer);
    void exportShown();
    void showReadout(CTrendPlot* plot, int x);
    void describePlots();
    void followNow();
    static std::int64_t nowMs();

    std::unique_ptr<Ui::TrendsDialog> ui_;
    ClientHost& host_;
    std::array<std::array<CTrendPlot*, 2>, Housing::count> plots_{};
    std::array<TrendSeries, Housing::count> series_;
    std::array<LimitSteps, Housing::count> limits_;
    std::unique_ptr<HistoryReader> reader_;
    std::shared_ptr<std::atomic<unsigned>> generation_ = std::make_shared<std::atomic<unsigned>>(0);
    FramePacer pacer_;
    QTimer secondTimer_;
    TrendRange range_;
    // What the last history answer shown was asked for.
    std::optional<TrendQuery> loaded_;
    bool describedDirty_ = true;
    TrendDrawQueue drawQueue_;
    bool drawQueued_ = false; // the next plot's pass is queued
};
