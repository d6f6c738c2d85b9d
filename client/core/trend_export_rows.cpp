#include "trend_export_rows.h"

#include <algorithm>
#include <utility>

TrendExportRows::TrendExportRows(std::int64_t fromMs, std::int64_t toMs) : fromMs_(fromMs), toMs_(toMs)
{
    liveFromMs_.fill(TrendSeries::never);
}

void TrendExportRows::setLive(int housing, std::vector<TrendSample> samples, std::int64_t liveFromMs)
{
    if (!Housing::valid(housing))
        return;
    live_[housing] = std::move(samples);
    liveFromMs_[housing] = liveFromMs;
}

void TrendExportRows::run(History::HistorySource* source, const Sink& sink) const
{
    std::array<std::size_t, Housing::count> next{};
    std::vector<std::pair<int, TrendSample>> rows;
    for (std::int64_t start = fromMs_; start < toMs_; start += stepMs) {
        const std::int64_t end = std::min(toMs_, start + stepMs);
        rows.clear();
        for (int housing = 0; housing < Housing::count; ++housing) {
            const std::int64_t storeEnd = std::min(end, liveFromMs_[housing]);
            if (source && start < storeEnd)
                for (const History::Reading& r : source->readings(housing, start, storeEnd))
                    rows.emplace_back(housing, TrendSample{r.arrivalMs, r.temperature, r.humidity, r.water});
            const std::vector<TrendSample>& live = live_[housing];
            for (std::size_t& i = next[housing]; i < live.size() && live[i].timeMs < end; ++i)
                rows.emplace_back(housing, live[i]);
        }
        std::stable_sort(rows.begin(), rows.end(),
            [](const auto& a, const auto& b) { return a.second.timeMs < b.second.timeMs; });
        for (const auto& [housing, sample] : rows)
            sink(housing, sample);
    }
}
