// The program's command-line words and its log file.
#include "command_words.h"
#include "log_file.h"

#include <ace/Log_Msg.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace {

TEST(CommandWords, SplitAtBlanksAndLineEnds)
{
    char prog[] = "kovclient", a[] = "CRIT -ORBInitRef", b[] = "", c[] = "x\r\ny", d[] = "  z  ";
    char* argv[] = {prog, a, b, c, d, nullptr};
    const CommandWords words = CommandWords::fromCommandLine(5, argv);
    EXPECT_EQ(words.words(), (std::vector<std::string>{"CRIT", "-ORBInitRef", "x", "y", "z"}));
}

TEST(CommandWords, EachUseGetsAnUntouchedCopy)
{
    const CommandWords words({"-ORBendPoint", "giop:tcp:127.0.0.1:", "KOV"});
    {
        CommandWords::Argv first(words.words());
        ASSERT_EQ(first.argc(), 3);
        EXPECT_EQ(first.argv()[3], nullptr);
        // What ORB_init does: take its options out of the array in place.
        first.argv()[0] = first.argv()[2];
        first.argc() = 1;
    }
    CommandWords::Argv second(words.words());
    EXPECT_EQ(second.argc(), 3);
    EXPECT_STREQ(second.argv()[0], "-ORBendPoint");
}

TEST(LogFile, OneLinePerEntry)
{
    const char* const cases[][2] = {
        {"Consumer init failed\n: Connection refused\n", "Consumer init failed: Connection refused"},
        {"Consumer_Handler::close\n  EXCEPTION TRANSIENT\n", "Consumer_Handler::close EXCEPTION TRANSIENT"},
        {"plain", "plain"},
        {"\n\n", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LogFile::oneLine(c[0]), c[1]);
}

TEST(LogFile, TakesEveryThreadsEntriesWithTimeAndPosition)
{
    char dir[] = "/tmp/kov-log-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    {
        LogFile log(dir);
        ASSERT_TRUE(log.install());
        ACE_ERROR((LM_ERROR, "%p\n", "KOV target interface initialize failed\n"));
        std::thread([] { ACE_DEBUG((LM_DEBUG, "from another thread\n")); }).join();
        std::thread([] {
            LogFile::QuietThread quiet(true);
            ACE_DEBUG((LM_DEBUG, "from a quiet thread\n"));
        }).join();
        log.uninstall();
    }
    const std::string path = std::string(dir) + "/client.log";
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    std::remove(path.c_str());
    rmdir(dir);
    ASSERT_EQ(lines.size(), 2u);
    const std::regex first(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}Z LM_ERROR test_app_plumbing\.cpp:\d+ )"
                           R"(KOV target interface initialize failed: .+$)");
    EXPECT_TRUE(std::regex_search(lines[0], first)) << lines[0];
    EXPECT_NE(lines[1].find("LM_DEBUG"), std::string::npos);
    EXPECT_NE(lines[1].find("from another thread"), std::string::npos);
}

} // namespace
