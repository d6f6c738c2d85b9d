// kovreport on the made-up day: page 1 says the known figures (read back
// with pdftotext, as a person searching the PDF would), every page renders
// (pdftoppm), the CSV is written; and its exit statuses.
#include "child_process.h"
#include "file_text.h"
#include "made_up_history.h"
#include "temp_dir.h"

#include <QByteArray>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <regex>

namespace {

using namespace std::chrono_literals;

// What `program args` wrote, with its exit status.
std::pair<int, std::string> run(const std::string& program, const std::vector<std::string>& args)
{
    ChildProcess child(program, args);
    const std::optional<int> status = child.waitForExit(30s);
    return {status.value_or(-1),
        child.text(ChildProcess::Stream::Output) + child.text(ChildProcess::Stream::Error)};
}

// Without blanks: pdftotext spaces the columns of a table as it sees fit.
std::string squeezed(const std::string& text)
{
    return std::regex_replace(text, std::regex("[ \t]+"), "");
}

class KovReport : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir_ = new TempDir;
        std::string error;
        written_ = MadeUpHistory::writeFile(history(), error);
        ASSERT_TRUE(written_) << error;
    }
    static void TearDownTestSuite()
    {
        delete dir_;
        dir_ = nullptr;
    }
    static std::string history() { return dir_->file("kovhistory.db"); }
    static std::vector<std::string> day(const std::string& out)
    {
        return {"--history", history(), "--from", "2026-12-08", "--to", "2026-12-09T00:00Z", "--out", out};
    }

    static TempDir* dir_;
    static bool written_;
};

TempDir* KovReport::dir_ = nullptr;
bool KovReport::written_ = false;

TEST_F(KovReport, PageOneSaysTheKnownFiguresAndEveryPageRenders)
{
    ASSERT_TRUE(written_);
    TempDir out;
    std::vector<std::string> args = day(out.file("report.pdf"));
    args.insert(args.end(), {"--csv", out.file("report.csv"), "--instrument", "KOV-7"});
    const auto [status, output] = run(KOV_KOVREPORT_PATH, args);
    ASSERT_EQ(status, 0) << output;

    const auto [textStatus, page1] =
        run(KOV_PDFTOTEXT_PATH, {"-layout", "-f", "1", "-l", "1", out.file("report.pdf"), "-"});
    ASSERT_EQ(textStatus, 0) << page1;
    const std::string text = squeezed(page1);
    for (const char* figure : {
             "KOV report: KOV-7",
             "Range: 2026-12-08 00:00 to 2026-12-09 00:00 UTC (24 h 00 min)",
             "electronics.data 0 0.0 % 0 25 h 00 min standing 0 s",
             "Electronics housing Temperature 20.00 °C 20.30 °C 33.00 °C 5 h 00 min 10 min",
             "Humidity 30.00 %RH 30.13 %RH 36.00 %RH 30 min 0 s",
             "Electronics housing 8610 8640 99.7 % 1 5 min 5 min 30 s",
             "Spectrometer housing 4290 8640 49.7 % 2 12 h 05 min 12 h 00 min 0 s",
             "Outages: 2, 35 min in all, the longest 30 min",
             "Alarms raised 16",
             "Alarms per hour (mean) 0.67 at most 6 met",
             "Busiest 10 minutes 11 alarms from 2026-12-08 16:00 at most 10 not met",
             "10-minute windows in flood (over 10 alarms) 1 of 144 (0.7 %) under 1 % of the time met",
             "Chattering points (3 or more in 60 s) 2 none not met",
             "Standing alarms (active over 24 h) 1 fewer than 5 met",
             "Time to acknowledge, p50 16 min",
             "Time to acknowledge, p95 20 min (15 alarms acknowledged)",
             "Unacknowledged at the end 1",
             "Shelved time 7 h 45 min",
             "link 11 68.8 % 3 chattering",
             "spectrometer.readings 1 6.2 % 1 11 h 59 min 0 s 2026-12-08 12:01",
             "Page 1 of 5",
         })
        EXPECT_NE(text.find(squeezed(figure)), std::string::npos) << figure << "\n--- page 1:\n" << page1;

    const auto [infoStatus, info] = run(KOV_PDFINFO_PATH, {out.file("report.pdf")});
    ASSERT_EQ(infoStatus, 0) << info;
    std::smatch pages;
    ASSERT_TRUE(std::regex_search(info, pages, std::regex("Pages:\\s+(\\d+)")));
    EXPECT_EQ(pages[1], "5");
    const auto [ppmStatus, ppm] =
        run(KOV_PDFTOPPM_PATH, {"-r", "20", "-png", out.file("report.pdf"), out.file("page")});
    ASSERT_EQ(ppmStatus, 0) << ppm;
    for (int page = 1; page <= 5; ++page) {
        const std::string png = out.file("page-" + std::to_string(page) + ".png");
        EXPECT_TRUE(FileText::exists(png) && std::filesystem::file_size(png) > 1000) << png;
    }
    // The later pages are text too: the trends, the timeline, the events.
    const auto [allStatus, all] = run(KOV_PDFTOTEXT_PATH, {out.file("report.pdf"), "-"});
    for (const char* words : {"Spectrometer housing", "Alarm timeline", "electronics.water", "acknowledged",
             "Over temperature in the electronics housing", "Page 5 of 5"})
        EXPECT_NE(all.find(words), std::string::npos) << words;

    EXPECT_NE(FileText::read(out.file("report.csv"))
                  .find("alarms,Busiest 10 minutes,,11,alarms,at most 10,not met"),
        std::string::npos);
}

struct StatusCase {
    const char* what;
    std::vector<std::string> args; // "@history", "@out", "@none", "@text" are filled in
    int status;
};

TEST_F(KovReport, ExitStatusesTellBadUseAnUnreadableSourceAndAnUnwritableOutput)
{
    ASSERT_TRUE(written_);
    TempDir out;
    FileText::write(out.file("notes.txt"), "not a history\n");
    const StatusCase cases[] = {
        {"help", {"--help"}, 0},
        {"nothing", {}, 1},
        {"an unknown option", {"--history", "@history", "--out", "@out", "--form", "2026-12-08"}, 1},
        {"two sources", {"--history", "@history", "--archive", "sqlite:x.db", "--out", "@out"}, 1},
        {"a range the wrong way round",
            {"--history", "@history", "--out", "@out", "--from", "2026-12-09", "--to", "2026-12-08"}, 1},
        {"no such history", {"--history", "@none", "--out", "@out"}, 2},
        {"a file that is no history", {"--history", "@text", "--out", "@out"}, 2},
        {"an archive that does not answer",
            {"--archive", "postgresql://kov@127.0.0.1:1/kov", "--out", "@out"}, 2},
        {"no folder for the PDF", {"--history", "@history", "--out", "@nowhere"}, 3},
        {"no folder for the CSV", {"--history", "@history", "--out", "@out", "--csv", "@nowhere"}, 3},
    };
    for (const StatusCase& c : cases) {
        std::vector<std::string> args;
        for (const std::string& a : c.args)
            args.push_back(a == "@history" ? history()
                    : a == "@out"          ? out.file("r.pdf")
                    : a == "@none"         ? out.file("none.db")
                    : a == "@text"         ? out.file("notes.txt")
                    : a == "@nowhere"      ? out.file("no/such/folder/r")
                                           : a);
        const auto [status, output] = run(KOV_KOVREPORT_PATH, args);
        EXPECT_EQ(status, c.status) << c.what << ": " << output;
        if (c.status != 0) {
            EXPECT_NE(output.find("kovreport: "), std::string::npos) << c.what;
        }
        // Nothing half written is left where the report was to be.
        if (c.status == 2) {
            EXPECT_FALSE(FileText::exists(out.file("r.pdf"))) << c.what;
        }
    }
}

// The daily timer's two steps: the day's report into the folder, then the
// mail with the PDF attached, through the sendmail interface.
TEST_F(KovReport, DailyScriptWritesTheDayAndMailsIt)
{
    ASSERT_TRUE(written_);
    TempDir out;
    const std::string sender = out.file("sendmail");
    FileText::write(sender, "#!/bin/sh\necho \"$@\" > \"$0.args\"\ncat > \"$0.mail\"\n");
    std::filesystem::permissions(sender, std::filesystem::perms::owner_all);
    const std::string path =
        std::filesystem::path(KOV_KOVREPORT_PATH).parent_path().string() + ":" + std::getenv("PATH");
    const std::pair<const char*, std::string> environment[] = {{"PATH", path},
        {"KOV_REPORT_SOURCE", "--history " + history()}, {"KOV_REPORT_DAY", "2026-12-08"},
        {"KOV_REPORT_DIR", out.file("reports")},
        {"KOV_WORDS", "KOV7 -ORBInitRef NameService=corbaloc::x:2809"},
        {"KOV_NOTIFY", "oncall@example.org,second@example.org"}, {"KOV_SENDMAIL", sender}};
    const std::string saved = std::getenv("PATH");
    for (const auto& [name, value] : environment)
        ::setenv(name, value.c_str(), 1);
    const auto [reportStatus, reportOutput] = run(KOV_DAILY_SCRIPT, {"report"});
    const auto [mailStatus, mailOutput] = run(KOV_DAILY_SCRIPT, {"mail"});
    ::setenv("KOV_NOTIFY", "oncall@example.org\nBcc: someone@example.org", 1);
    const auto [badStatus, badOutput] = run(KOV_DAILY_SCRIPT, {"mail"});
    ::setenv("PATH", saved.c_str(), 1);
    for (const auto& [name, value] : environment)
        if (std::string(name) != "PATH")
            ::unsetenv(name);

    ASSERT_EQ(reportStatus, 0) << reportOutput;
    const std::string pdf = out.file("reports/kov-report-KOV7-2026-12-08.pdf");
    ASSERT_TRUE(FileText::exists(pdf));
    EXPECT_TRUE(FileText::exists(out.file("reports/kov-report-KOV7-2026-12-08.csv")));
    ASSERT_EQ(mailStatus, 0) << mailOutput;
    EXPECT_EQ(FileText::read(sender + ".args"), "-t -i\n");
    const std::string mail = FileText::read(sender + ".mail");
    for (const char* line : {"To: oncall@example.org, second@example.org\n",
             "Subject: KOV report KOV7 2026-12-08 (UTC)\n", "Content-Type: multipart/mixed; boundary=",
             "  Chattering points (3 or more in 60 s)\n", "filename=\"kov-report-KOV7-2026-12-08.pdf\""})
        EXPECT_NE(mail.find(line), std::string::npos) << line;
    // The attachment is the report, byte for byte.
    const auto start = mail.find("\n\n", mail.find("Content-Transfer-Encoding: base64"));
    const auto end = mail.find("\n--", start);
    ASSERT_NE(end, std::string::npos);
    const QByteArray attached =
        QByteArray::fromBase64(QByteArray::fromStdString(mail.substr(start, end - start)));
    EXPECT_TRUE(attached == QByteArray::fromStdString(FileText::read(pdf)));

    // An address that would add a header line is refused, nothing is sent.
    EXPECT_EQ(badStatus, 1) << badOutput;
    EXPECT_EQ(FileText::read(sender + ".mail"), mail);
}

} // namespace
