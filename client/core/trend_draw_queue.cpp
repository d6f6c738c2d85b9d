#include "trend_draw_queue.h"

#include <algorithm>

void TrendDrawQueue::mark(int housing)
{
    if (Housing::valid(housing))
        marked_[housing] = true;
}

void TrendDrawQueue::startFrame()
{
    for (int housing = 0; housing < Housing::count; ++housing) {
        if (!marked_[housing])
            continue;
        marked_[housing] = false;
        for (History::Quantity q : {History::Quantity::Temperature, History::Quantity::Humidity}) {
            const bool waiting = std::any_of(due_.begin(), due_.end(),
                [&](const Plot& p) { return p.housing == housing && p.quantity == q; });
            if (!waiting)
                due_.push_back({housing, q});
        }
    }
}

bool TrendDrawQueue::take(Plot& plot)
{
    if (due_.empty())
        return false;
    plot = due_.front();
    due_.erase(due_.begin());
    return true;
}
