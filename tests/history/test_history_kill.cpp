// A recording process killed outright loses at most its last second, and
// nothing before it.
#include "child_process.h"
#include "sqlite_history_source.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>

TEST(HistoryKill, SigkillLosesAtMostTheLastSecond)
{
    TempDir dir;
    const std::string path = dir.file("kovhistory.db");
    ChildProcess child(KOV_HISTORY_CHILD_PATH, {path});
    ASSERT_TRUE(child.waitForLine(ChildProcess::Stream::Output, "^pushed 3000$", std::chrono::seconds(20)));
    ::kill(child.pid(), SIGKILL);
    ASSERT_TRUE(child.waitForExit(std::chrono::seconds(5)));
    const std::string last = child.lines(ChildProcess::Stream::Output).back();
    const long long pushed = std::stoll(last.substr(last.find(' ') + 1));

    History::SqliteHistorySource source(path);
    const std::vector<History::Reading> stored = source.readings(0, 0, INT64_MAX);
    ASSERT_FALSE(stored.empty()) << source.lastError();
    // In order and without a hole, up to a point at most a second (1,000
    // readings) before the last one pushed.
    for (std::size_t i = 0; i < stored.size(); ++i)
        ASSERT_EQ(stored[i].readingTime, static_cast<std::int64_t>(i));
    EXPECT_GE(static_cast<long long>(stored.size()), pushed - 1000);
}
