// "Report…": the shift report written on a thread of its own from a source
// made there, its progress shown, the PDF opened; stopped when asked; the
// ranges offered.
#include "fake_history_source.h"
#include "made_up_history.h"
#include "report_dialog.h"
#include "spin_until.h"
#include "temp_dir.h"

#include <QFile>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <future>

namespace {

std::unique_ptr<History::HistorySource> madeUpDay()
{
    auto source = std::make_unique<FakeHistorySource>(0, 0);
    MadeUpHistory::fill(*source, MadeUpHistory::day());
    return source;
}

QPushButton* button(QWidget& dialog, const QString& name)
{
    for (QPushButton* b : dialog.findChildren<QPushButton*>())
        if (b->accessibleName() == name)
            return b;
    return nullptr;
}

TEST(ReportDialog, WritesOffTheGuiThreadShowsProgressAndOpensThePdf)
{
    std::atomic<QThread*> readOn{nullptr};
    CReportDialog dialog(
        [&readOn] {
            readOn = QThread::currentThread();
            return madeUpDay();
        },
        nullptr);
    QString opened;
    dialog.setOpener([&](const QString& path) { opened = path; });
    std::vector<int> steps;
    auto* bar = dialog.findChild<QProgressBar*>();
    ASSERT_TRUE(bar);
    QObject::connect(bar, &QProgressBar::valueChanged, [&](int value) { steps.push_back(value); });
    dialog.setChosenRange(MadeUpHistory::dayStartMs, MadeUpHistory::dayStartMs + MadeUpHistory::dayMs);

    TempDir dir;
    const QString path = QString::fromStdString(dir.file("report.pdf"));
    dialog.writeTo(path);
    EXPECT_TRUE(dialog.writing());
    EXPECT_FALSE(button(dialog, QStringLiteral("Write the shift report as PDF")) &&
        button(dialog, QStringLiteral("Write the report as PDF"))->isEnabled());
    ASSERT_TRUE(spinUntil([&] { return !dialog.writing(); }, std::chrono::seconds(30)))
        << dialog.status().toStdString();

    EXPECT_EQ(opened, path) << dialog.status().toStdString();
    EXPECT_TRUE(dialog.status().contains(path)) << dialog.status().toStdString();
    EXPECT_NE(readOn.load(), nullptr);
    EXPECT_NE(readOn.load(), QThread::currentThread());
    EXPECT_GE(steps.size(), 5u);
    EXPECT_EQ(bar->value(), 100);
    QFile pdf(path);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.read(5) == "%PDF-");
}

TEST(ReportDialog, StopsWhenAskedAndLeavesNoFile)
{
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    CReportDialog dialog(
        [released] {
            released.wait();
            return madeUpDay();
        },
        nullptr);
    bool opened = false;
    dialog.setOpener([&](const QString&) { opened = true; });
    TempDir dir;
    const QString path = QString::fromStdString(dir.file("report.pdf"));
    dialog.writeTo(path);
    QPushButton* stop = button(dialog, QStringLiteral("Stop writing the report"));
    ASSERT_TRUE(stop);
    ASSERT_TRUE(stop->isEnabled());
    stop->click();
    release.set_value();
    ASSERT_TRUE(spinUntil([&] { return !dialog.writing(); }, std::chrono::seconds(30)));
    EXPECT_FALSE(opened);
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(dialog.status().contains(QStringLiteral("stopped"))) << dialog.status().toStdString();
    EXPECT_TRUE(button(dialog, QStringLiteral("Write the report as PDF"))->isEnabled());
}

TEST(ReportDialog, TellsAnUnreadableHistoryAndOffersNothingWithoutOne)
{
    TempDir dir;
    CReportDialog failing([] { return std::unique_ptr<History::HistorySource>(); }, nullptr);
    failing.writeTo(QString::fromStdString(dir.file("r.pdf")));
    ASSERT_TRUE(spinUntil([&] { return !failing.writing(); }));
    EXPECT_TRUE(failing.status().contains(QStringLiteral("could not be written")))
        << failing.status().toStdString();

    CReportDialog none({}, nullptr);
    EXPECT_FALSE(button(none, QStringLiteral("Write the report as PDF"))->isEnabled());
    EXPECT_TRUE(none.status().contains(QStringLiteral("not available")));
}

TEST(ReportDialog, RangesEndNowOrAtMidnight)
{
    CReportDialog dialog({}, nullptr);
    const std::int64_t hour = 3'600'000, day = 24 * hour;
    const std::int64_t now = MadeUpHistory::dayStartMs + 10 * hour + 123;
    const std::pair<CReportDialog::Range, std::pair<std::int64_t, std::int64_t>> cases[] = {
        {CReportDialog::Last8Hours, {now - 8 * hour, now}},
        {CReportDialog::Last24Hours, {now - day, now}},
        {CReportDialog::Last7Days, {now - 7 * day, now}},
        {CReportDialog::Yesterday, {MadeUpHistory::dayStartMs - day, MadeUpHistory::dayStartMs}},
    };
    for (const auto& [range, expected] : cases) {
        dialog.chooseRange(range);
        EXPECT_EQ(dialog.range(now), expected) << range;
    }
    dialog.setChosenRange(MadeUpHistory::dayStartMs, MadeUpHistory::dayStartMs + hour);
    EXPECT_EQ(dialog.range(now), std::make_pair(MadeUpHistory::dayStartMs, MadeUpHistory::dayStartMs + hour));
}

} // namespace
