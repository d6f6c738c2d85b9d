// The thread the windows read the history on, ended while a question still
// runs in the database (a window closed at exit): nothing is left running.
#include "history_reader.h"
#include "spin_until.h"
#include "sqlite_file.h"
#include "sqlite_history_source.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using namespace std::chrono_literals;

TEST(HistoryReader, EndsAtOnceWhileAQuestionRunsInTheDatabase)
{
    TempDir dir;
    const std::string path = dir.file("kovhistory.db");
    // Readings without end, none of them in the range asked for.
    ASSERT_EQ(runOnSqliteFile(path,
                  {"CREATE VIEW readings AS WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n) "
                   "SELECT 0 AS housing, -x AS arrival_ms, 0 AS reading_time, 20.0 AS temperature, "
                   "40.0 AS humidity, 0 AS water FROM n"}),
        "");

    QObject context;
    std::atomic<bool> asked{false};
    bool answered = false;
    auto reader = std::make_unique<HistoryReader>(
        [path] { return std::make_unique<History::SqliteHistorySource>(path); }, &context);
    reader->post([&](History::HistorySource* source) -> std::function<void()> {
        asked = true;
        source->readings(0, 0, INT64_MAX);
        return [&] { answered = true; };
    });
    ASSERT_TRUE(spinUntil([&] { return asked.load(); }));
    std::this_thread::sleep_for(100ms); // well inside the statement
    const auto began = std::chrono::steady_clock::now();
    reader.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - began, 2s);
    spinUntil([&] { return answered; }, 100ms);
    EXPECT_FALSE(answered);
}

} // namespace
