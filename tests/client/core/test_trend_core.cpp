// The trends' Qt-free parts: the per-column envelope and its newest column,
// the setpoint steps and the CSV fields.
#include "csv_writer.h"
#include "limit_steps.h"
#include "time_text.h"
#include "trend_envelope.h"
#include "trend_tail.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

std::vector<TrendPoint> envelope(
    const std::vector<TrendPoint>& samples, std::int64_t from, std::int64_t to, int columns)
{
    TrendEnvelope e(from, to, columns);
    e.add(samples.begin(), samples.end());
    return e.take();
}

TEST(TrendEnvelope, OneSampleSpikeSurvivesEveryZoom)
{
    struct Case {
        int samples, spikeAt, columns;
        std::int64_t from, to;
        double spike;
    };
    const Case cases[] = {
        {86400, 0, 1200, 0, 86400000, 99},            // first sample, a day on 1200 columns
        {86400, 86399, 1200, 0, 86400000, -40},       // last sample, falling
        {86400, 43210, 7, 0, 86400000, 99},           // seven columns
        {86400, 43210, 1, 0, 86400000, -40},          // one column
        {86400, 43210, 1200, 43000000, 44000000, 99}, // zoomed in around it
        {10, 5, 1200, 0, 10000, 99},                  // fewer samples than columns
        {2592000, 1234567, 1920, 0, 2592000000, 99},  // 30 days
    };
    for (const Case& c : cases) {
        std::vector<TrendPoint> samples;
        for (int i = 0; i < c.samples; ++i)
            samples.push_back({i * 1000LL, i == c.spikeAt ? c.spike : 20.0 + (i % 7) * 0.1});
        const std::vector<TrendPoint> out = envelope(samples, c.from, c.to, c.columns);
        const bool found =
            std::any_of(out.begin(), out.end(), [&](const TrendPoint& p) { return p.value == c.spike; });
        EXPECT_TRUE(found) << "spike at " << c.spikeAt << " on " << c.columns << " columns";
        EXPECT_LE(out.size(), 2u * c.columns + 2) << c.columns;
    }
}

TEST(TrendEnvelope, GapsStayGapsAndEdgesReachOut)
{
    const double gap = std::nan("");
    // A gap from 30 to 60 s in two minutes of 1 Hz samples, on 12 columns.
    std::vector<TrendPoint> samples;
    for (int i = -5; i < 125; ++i)
        samples.push_back({i * 1000LL, i >= 30 && i < 60 ? gap : 10.0 + i});
    TrendEnvelope e(0, 120000, 12);
    e.add(samples.begin(), samples.end());
    EXPECT_TRUE(e.done());
    const std::vector<TrendPoint> out = e.take();
    EXPECT_EQ(out.front().timeMs, -1000);
    EXPECT_EQ(out.back().timeMs, 120000);
    const auto gaps =
        std::count_if(out.begin(), out.end(), [](const TrendPoint& p) { return std::isnan(p.value); });
    EXPECT_GE(gaps, 1);
    for (std::size_t i = 1; i < out.size(); ++i) {
        EXPECT_LE(out[i - 1].timeMs, out[i].timeMs);
        // No line drawn across the gap: the values either side are separated by a gap point.
        if (!std::isnan(out[i - 1].value) && !std::isnan(out[i].value))
            EXPECT_FALSE(out[i - 1].timeMs < 30000 && out[i].timeMs >= 60000);
    }
    EXPECT_EQ(e.summary().minimum, 10.0);
    EXPECT_EQ(e.summary().latest, 10.0 + 119); // the last sample before the end
}

TEST(TrendTail, ANewerValueInsideTheNewestColumnChangesNothing)
{
    const double gap = std::nan("");
    struct Case {
        std::int64_t to;
        int columns;
        std::vector<TrendPoint> samples;
        std::int64_t at;
        double value;
        bool holds;
    };
    std::vector<TrendPoint> wave; // 1 Hz over 100 s, 0 to 4
    for (int i = 0; i < 100; ++i)
        wave.push_back({i * 1000LL, i % 5 * 1.0});
    std::vector<TrendPoint> gapAtEnd = wave;
    gapAtEnd[99].value = gap; // drawn as a gap point at the end of its column
    const Case cases[] = {
        {100000, 10, wave, 99500, 2.0, true}, {100000, 10, wave, 90000, 0.0, true},
        {100000, 10, wave, 99500, 4.5, false},  // beyond what is drawn
        {100000, 10, wave, 89999, 2.0, false},  // the column before
        {100000, 10, wave, 100000, 2.0, false}, // past the range
        {100000, 10, wave, 99500, gap, false}, {100000, 10, gapAtEnd, 99500, 2.0, false},
        {1000, 3, {{100, 5.0}, {700, 6.0}}, 667, 6.0, true}, // columns of 333⅓ ms
        {1000, 3, {{100, 5.0}, {700, 6.0}}, 666, 6.0, false},
        {1000, 3, {{1000, 5.0}}, 999, 5.0, false}, // nothing inside
    };
    for (const Case& c : cases) {
        TrendEnvelope e(0, c.to, c.columns);
        e.add(c.samples.begin(), c.samples.end());
        const TrendEnvelope::Summary summary = e.summary();
        const TrendTail tail(e.take(), summary, 0, c.to, c.columns);
        EXPECT_EQ(tail.holds(c.at, c.value), c.holds) << c.at << " " << c.value;
    }
}

History::SetpointChange change(std::int64_t t, History::Setpoint which, double value)
{
    return History::SetpointChange{0, which, 0.0, value, t};
}

TEST(LimitSteps, StepExactlyWhereChanged)
{
    using History::Setpoint;
    LimitSteps steps;
    steps.setBase({0, 24.0, 32.0, 35.0, 60.0});
    steps.setHistory({{1000, 25.0, 32.0, 35.0, 60.0}, {5000, 25.0, 33.0, 35.0, 60.0}});
    steps.change(change(8000, Setpoint::TempWarning, 26.0));
    steps.change(change(9000, Setpoint::OverRh, 70.0));

    struct Case {
        Setpoint which;
        std::int64_t from, to;
        std::vector<std::pair<std::int64_t, double>> expected;
    };
    const Case cases[] = {
        {Setpoint::TempWarning, 0, 10000, {{0, 24}, {1000, 25}, {8000, 26}, {10000, 26}}},
        {Setpoint::TempWarning, 1500, 7000, {{1500, 25}, {7000, 25}}},
        {Setpoint::OverTemp, 0, 10000, {{0, 32}, {5000, 33}, {10000, 33}}},
        {Setpoint::OverRh, 8500, 9500, {{8500, 60}, {9000, 70}, {9500, 70}}},
        {Setpoint::RhWarning, -5000, 10000, {{-5000, 35}, {10000, 35}}},
    };
    for (const Case& c : cases) {
        std::vector<std::pair<std::int64_t, double>> got;
        for (const TrendPoint& p : steps.line(c.which, c.from, c.to))
            got.emplace_back(p.timeMs, p.value);
        EXPECT_EQ(got, c.expected) << static_cast<int>(c.which) << " from " << c.from;
    }
    EXPECT_EQ(steps.at(8999).overRh, 60.0);
    EXPECT_EQ(steps.at(9000).tempWarning, 26.0);
    // The store records the same change: no second step.
    steps.setHistory({{1000, 25.0, 32.0, 35.0, 60.0}, {5000, 25.0, 33.0, 35.0, 60.0},
        {8000, 26.0, 33.0, 35.0, 60.0}, {9000, 26.0, 33.0, 35.0, 70.0}});
    EXPECT_EQ(steps.line(Setpoint::TempWarning, 0, 10000).size(), 4u);
}

TEST(CsvWriter, QuotesOnlyWhatNeedsIt)
{
    const std::pair<const char*, const char*> cases[] = {
        {"plain", "plain"},
        {"", ""},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\r\nlines", "\"two\r\nlines\""},
        {"line\nend", "\"line\nend\""},
        {"30 °C in the Ω housing", "30 °C in the Ω housing"},
        // What a spreadsheet would run as a formula stays text.
        {"=HYPERLINK(\"http://x\")", "\"'=HYPERLINK(\"\"http://x\"\")\""},
        {"+1+1", "'+1+1"},
        {"-2+3+cmd|' /C calc'!A0", "'-2+3+cmd|' /C calc'!A0"},
        {"@SUM(A1:A9)", "'@SUM(A1:A9)"},
        {"\t=1", "'\t=1"},
        {"\r=1", "\"'\r=1\""},
        {"-5 °C outside", "'-5 °C outside"},
        {"a=b", "a=b"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(CsvWriter::field(in), out);
    EXPECT_EQ(CsvWriter::row({"a", "b,c", ""}), "a,\"b,c\",\r\n");
    // Numbers stay numbers, negative ones too.
    EXPECT_EQ(
        CsvWriter::row({"-1", CsvWriter::number(-1.5), CsvWriter::number(23.5), CsvWriter::number(NAN)}),
        "'-1,-1.5,23.5,\r\n");
    EXPECT_EQ(TimeText::isoMs(1765217405250), "2025-12-08T18:10:05.250Z");
    EXPECT_EQ(TimeText::isoMs(-1), "1969-12-31T23:59:59.999Z");
    EXPECT_EQ(TimeText::isoSeconds(86399), "1970-01-01T23:59:59Z");
}

} // namespace
