#pragma once

#include <cstdint>
#include <limits>
#include <vector>

// One sample of a trend: a time (UTC milliseconds) and a value; a value that
// is not a number marks a gap (no data, or the link was down).
struct TrendPoint {
    std::int64_t timeMs = 0;
    double value = 0.0;
};

// Reduces a channel's samples to what a plot of `columns` pixel columns over
// [fromMs, toMs) can show: per column its least and greatest value in time
// order, so that no single sample's excursion is lost at any zoom; with at
// most two samples in a column they pass as they are. A gap inside the range
// stays a gap (a not-a-number point), and the nearest sample on either side
// outside the range is kept so that the line reaches the edges.
//
// Samples are added in time order, one by one, so that several stores (the
// history's answer, the live buffer) feed one envelope without being joined.
class TrendEnvelope {
public:
    // The finite values inside the range; `any` false when there were none.
    struct Summary {
        bool any = false;
        std::int64_t latestMs = 0;
        double latest = 0.0;
        double minimum = std::numeric_limits<double>::infinity();
        double maximum = -std::numeric_limits<double>::infinity();
    };

    TrendEnvelope(std::int64_t fromMs, std::int64_t toMs, int columns);

    void add(const TrendPoint& point);
    template<typename Iterator>
    void add(Iterator begin, Iterator end)
    {
        for (; begin != end && !past_; ++begin)
            add(*begin);
    }
    // True once a sample at or after the range's end has been taken: the
    // rest can be skipped.
    bool done() const { return past_; }

    // The points to draw; the envelope is empty afterwards.
    std::vector<TrendPoint> take();
    const Summary& summary() const { return summary_; }

private:
    struct Column {
        std::int64_t index = -1;
        bool any = false;
        bool startsWithGap = false;
        bool endsWithGap = false;
        bool anyFinite = false;
        TrendPoint gapStart, gapEnd, low, high;
    };

    std::int64_t columnOf(std::int64_t timeMs) const;
    void flushColumn();
    void note(const TrendPoint& point);

    std::int64_t fromMs_;
    std::int64_t toMs_;
    int columns_;
    std::vector<TrendPoint> out_;
    bool haveBefore_ = false;
    TrendPoint before_;
    bool past_ = false;
    Column column_;
    Summary summary_;
};
