// The shift report's figures on a made-up day with known answers, read from
// a history file (raw readings, and the per-minute rollups) and from the
// made-up source; the CSV, the UTC times and kovreport's command line.
#include "fake_history_source.h"
#include "known_answers.h"
#include "made_up_history.h"
#include "pdf_report.h"
#include "report_csv.h"
#include "report_options.h"
#include "sqlite_history_source.h"
#include "temp_dir.h"
#include "utc_time.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

namespace {

using MadeUpHistory::dayStartMs;

class MadeUpFile {
public:
    MadeUpFile() { ok_ = MadeUpHistory::writeFile(path_, error_); }
    const std::string& path() const { return path_; }
    bool ok() const { return ok_; }
    const std::string& error() const { return error_; }

private:
    TempDir dir_;
    std::string path_ = dir_.file("kovhistory.db");
    bool ok_ = false;
    std::string error_;
};

enum class Source {
    HistoryFile,
    HistoryFileRollups,
    MadeUp
};

std::string name(Source source)
{
    switch (source) {
    case Source::HistoryFile:
        return "history file";
    case Source::HistoryFileRollups:
        return "history file, per minute";
    case Source::MadeUp:
        break;
    }
    return "made-up source";
}

class ReportFigures : public testing::TestWithParam<Source> {
protected:
    static void SetUpTestSuite() { file_ = new MadeUpFile; }
    static void TearDownTestSuite()
    {
        delete file_;
        file_ = nullptr;
    }
    static MadeUpFile* file_;
};

MadeUpFile* ReportFigures::file_ = nullptr;

TEST_P(ReportFigures, AreTheKnownAnswers)
{
    ASSERT_TRUE(file_->ok()) << file_->error();
    std::unique_ptr<History::HistorySource> source;
    if (GetParam() == Source::MadeUp) {
        auto fake = std::make_unique<FakeHistorySource>(0, 0);
        MadeUpHistory::fill(*fake, MadeUpHistory::day());
        source = std::move(fake);
    } else {
        source = std::make_unique<History::SqliteHistorySource>(file_->path());
    }
    Report::Figures figures;
    std::string error;
    ASSERT_TRUE(
        Report::compute(*source, madeUpRequest(GetParam() == Source::HistoryFileRollups), {}, figures, error))
        << error;
    expectKnownAnswers(figures, name(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Sources, ReportFigures,
    testing::Values(Source::HistoryFile, Source::HistoryFileRollups, Source::MadeUp),
    [](const testing::TestParamInfo<Source>& info) {
        std::string n = name(info.param);
        for (char& c : n)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return n;
    });

TEST(ReportFigures, StopWhenTheProgressSaysSoAndTellAFailedSource)
{
    FakeHistorySource fake(0, 0);
    MadeUpHistory::fill(fake, MadeUpHistory::day());
    Report::Figures figures;
    std::string error = "left over";
    int steps = 0;
    EXPECT_FALSE(Report::compute(
        fake, madeUpRequest(false), [&](int, const std::string&) { return ++steps < 3; }, figures, error));
    EXPECT_EQ(steps, 3);
    EXPECT_EQ(error, "");

    TempDir dir;
    History::SqliteHistorySource missing(dir.file("none.db"));
    EXPECT_FALSE(Report::compute(missing, madeUpRequest(false), {}, figures, error));
    EXPECT_NE(error, "");
}

// Page 1 as a spreadsheet gets it: one row per figure, the verdict beside
// its target, texts quoted where they hold a comma.
TEST(ReportCsv, HoldsTheFiguresWithTheirVerdicts)
{
    FakeHistorySource fake(0, 0);
    MadeUpHistory::fill(fake, MadeUpHistory::day());
    Report::Figures figures;
    std::string error;
    Report::Request request = madeUpRequest(false);
    request.instrument = "KOV, north";
    ASSERT_TRUE(Report::compute(fake, request, {}, figures, error));
    const std::string text = Report::csv(figures);
    for (const char* row : {"section,figure,subject,value,unit,target,verdict\r\n",
             "report,instrument,,\"KOV, north\",,,\r\n", "report,from,,2026-12-08 00:00:00,UTC,,\r\n",
             "housing,over limit,electronics.temperature,600,s,,\r\n",
             "data,readings,spectrometer,4290,readings,,\r\n", "link,outage time,link,2100,s,,\r\n",
             "alarms,Busiest 10 minutes,,11,alarms,at most 10,not met\r\n",
             "alarms,Alarms per hour (mean),,0.666667,per hour,at most 6,met\r\n",
             "alarms,\"Time to acknowledge, p95\",,1200,s,,\r\n", "point,alarms,link,11,alarms,,\r\n"})
        EXPECT_NE(text.find(row), std::string::npos) << row;
}

struct TimeCase {
    const char* text;
    std::optional<std::int64_t> ms;
};

TEST(UtcTime, ReadsTheFormsTheManualPageGives)
{
    const TimeCase cases[] = {
        {"2026-12-08", dayStartMs},
        {"2026-12-08T18:00", dayStartMs + 18 * 3600000LL},
        {"2026-12-08 18:00:30Z", dayStartMs + 18 * 3600000LL + 30000},
        {"2028-02-29", 1835395200000},
        {"2026-02-29", std::nullopt},
        {"2026-12-08T24:00", std::nullopt},
        {"2026-12-8", std::nullopt},
        {"2026-12-08+01:00", std::nullopt},
        {"yesterday", std::nullopt},
        {"", std::nullopt},
    };
    for (const TimeCase& c : cases)
        EXPECT_EQ(UtcTime::parse(c.text), c.ms) << c.text;
    EXPECT_EQ(UtcTime::second(dayStartMs + 18 * 3600000LL + 30000), "2026-12-08 18:00:30");
    EXPECT_EQ(UtcTime::minute(-1), "1969-12-31 23:59");
    EXPECT_EQ(UtcTime::duration(3 * 3600000 + 5 * 60000), "3 h 05 min");
}

struct OptionsCase {
    std::vector<const char*> words;
    std::int64_t fromMs, toMs; // -1 -1: bad use
};

TEST(ReportOptions, PlaceTheRangeOrRefuse)
{
    const std::int64_t now = dayStartMs + 12 * 3600000LL, day = 86400000;
    const OptionsCase cases[] = {
        {{}, now - day, now},
        {{"--last", "8h"}, now - 8 * 3600000LL, now},
        {{"--last", "7d"}, now - 7 * day, now},
        {{"--from", "2026-12-07"}, dayStartMs - day, dayStartMs},
        {{"--from", "2026-12-07", "--to", "2026-12-08"}, dayStartMs - day, dayStartMs},
        {{"--to", "2026-12-08", "--last", "8h"}, dayStartMs - 8 * 3600000LL, dayStartMs},
        {{"--from", "2026-12-08", "--to", "2026-12-07"}, -1, -1},
        {{"--from", "2026-12-07", "--to", "2026-12-08", "--last", "8h"}, -1, -1},
        {{"--last", "0h"}, -1, -1},
        {{"--last", "367d"}, -1, -1},
        {{"--last", "8 hours"}, -1, -1},
        {{"--from", "08/12/2026"}, -1, -1},
        {{"--form", "2026-12-07"}, -1, -1},
        {{"extra"}, -1, -1},
    };
    for (const OptionsCase& c : cases) {
        std::vector<const char*> words{"kovreport", "--history", "h.db", "--out", "r.pdf"};
        words.insert(words.end(), c.words.begin(), c.words.end());
        std::string error;
        const auto options =
            Report::ReportOptions::parse(int(words.size()), const_cast<char**>(words.data()), now, error);
        std::string shown;
        for (const char* w : c.words)
            shown += std::string(w) + " ";
        if (c.fromMs < 0) {
            EXPECT_FALSE(options) << shown;
            EXPECT_NE(error, "") << shown;
            continue;
        }
        ASSERT_TRUE(options) << shown << error;
        EXPECT_EQ(options->fromMs, c.fromMs) << shown;
        EXPECT_EQ(options->toMs, c.toMs) << shown;
    }
}

TEST(ReportOptions, NeedOneSourceAndAnOutput)
{
    const std::vector<std::vector<const char*>> bad = {
        {"kovreport", "--out", "r.pdf"},
        {"kovreport", "--history", "h.db", "--archive", "sqlite:a.db", "--out", "r.pdf"},
        {"kovreport", "--history", "h.db"},
        {"kovreport", "--archive", "mysql://db/kov", "--out", "r.pdf"},
        {"kovreport", "--history", "h.db", "--out", "r.pdf", "--csv="},
    };
    for (const auto& words : bad) {
        std::string error;
        EXPECT_FALSE(
            Report::ReportOptions::parse(int(words.size()), const_cast<char**>(words.data()), 0, error))
            << words[1];
        EXPECT_NE(error, "");
    }
    std::vector<const char*> words{
        "kovreport", "--archive", "postgresql://kov@db1:5432/kov", "--instrument", "KOV2", "--out", "r.pdf"};
    std::string error;
    const auto options =
        Report::ReportOptions::parse(int(words.size()), const_cast<char**>(words.data()), dayStartMs, error);
    ASSERT_TRUE(options) << error;
    ASSERT_TRUE(options->archive);
    EXPECT_EQ(options->archive->host, "db1");
    EXPECT_EQ(options->instrument, "KOV2");
}

TEST(ReportPaper, LetterWhereTheLocaleUsesIt)
{
    const std::pair<const char*, QPageSize::PageSizeId> cases[] = {{"en_US.UTF-8", QPageSize::Letter},
        {"fr_CA.UTF-8", QPageSize::Letter}, {"es_MX", QPageSize::Letter}, {"en_GB.UTF-8", QPageSize::A4},
        {"de_DE@euro", QPageSize::A4}, {"C.UTF-8", QPageSize::A4}, {"POSIX", QPageSize::A4}};
    for (const auto& [locale, paper] : cases)
        EXPECT_EQ(Report::paperFor(locale), paper) << locale;
}

} // namespace
