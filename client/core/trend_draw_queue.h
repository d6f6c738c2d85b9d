#pragma once

#include "history_source.h"
#include "housing.h"

#include <array>
#include <vector>

// Which trend plots are due: the housings with something new to draw, and
// the plots still to be drawn in this frame. The window draws one plot per
// event-loop pass, so that a push waiting for the GUI thread waits for one
// plot at most.
class TrendDrawQueue {
public:
    struct Plot {
        int housing = 0;
        History::Quantity quantity = History::Quantity::Temperature;
    };

    void mark(int housing);
    void markAll() { marked_.fill(true); }
    bool marked(int housing) const { return Housing::valid(housing) && marked_[housing]; }

    // A frame begins: both plots of each marked housing join the queue (each
    // once, wherever it already waits), and the marks are cleared.
    void startFrame();
    // The next plot due, taken off the queue; false when none is.
    bool take(Plot& plot);
    bool empty() const { return due_.empty(); }

private:
    std::array<bool, Housing::count> marked_{};
    std::vector<Plot> due_;
};
