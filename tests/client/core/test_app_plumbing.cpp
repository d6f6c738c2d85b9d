// The program's command-line words and its log file.
#include "command_words.h"
#include "log_file.h"

#include "file_text.h"
#include "temp_dir.h"

#include <ace/Log_Msg.h>
#include <ace/Log_Record.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

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

std::vector<std::string> linesOf(const std::string& path)
{
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The number an entry "entry N" of these tests carries.
int entryNumber(const std::string& line)
{
    const auto at = line.rfind("entry ");
    return at == std::string::npos ? -1 : std::stoi(line.substr(at + 6));
}

TEST(LogFile, IsTheOwnersOnlyWhetherNewOrFound)
{
    for (const unsigned found : {0u, 0666u}) {
        TempDir dir;
        const std::string path = dir.file(LogFile::fileName);
        if (found) {
            FileText::write(path, "earlier entry\n");
            ::chmod(path.c_str(), found);
        }
        const mode_t umaskWas = ::umask(0); // only the program decides
        LogFile log(dir.path());
        EXPECT_TRUE(log.install());
        ::umask(umaskWas);
        log.uninstall();
        EXPECT_EQ(FileText::mode(path), 0600u) << found;
    }
}

TEST(LogFile, RotatesPastItsLimitKeepingThreeFilesOfTheNewestEntries)
{
    TempDir dir;
    const long limit = 2000;
    const std::string path = dir.file(LogFile::fileName);
    LogFile log(dir.path(), limit);
    ASSERT_TRUE(log.install());
    const int entries = 200; // about 16 kB: rotated several times
    for (int i = 0; i < entries; ++i)
        ACE_DEBUG((LM_DEBUG, "entry %d\n", i));
    log.uninstall();

    EXPECT_FALSE(FileText::exists(path + ".3"));
    std::vector<int> numbers;
    for (const std::string& name : {path + ".2", path + ".1", path}) {
        ASSERT_TRUE(FileText::exists(name)) << name;
        std::ifstream in(name, std::ios::ate);
        EXPECT_LE(static_cast<long>(in.tellg()), limit) << name;
        EXPECT_EQ(FileText::mode(name), 0600u) << name;
        for (const std::string& line : linesOf(name))
            numbers.push_back(entryNumber(line));
    }
    // The newest entries, none missing or repeated, oldest first.
    ASSERT_GT(numbers.size(), 40u);
    EXPECT_EQ(numbers.back(), entries - 1);
    for (std::size_t i = 1; i < numbers.size(); ++i)
        ASSERT_EQ(numbers[i], numbers[i - 1] + 1) << i;
}

// A second start in the folder logs into the same file: after one process
// rotated it, the other writes on in the new file instead of rotating again.
TEST(LogFile, AProcessWhoseFileWasRotatedByAnotherWritesOnInTheNewOne)
{
    TempDir dir;
    const long limit = 1000;
    const std::string path = dir.file(LogFile::fileName);
    LogFile other(dir.path(), limit);
    ASSERT_TRUE(other.install());
    LogFile log(dir.path(), limit); // installed last: the ACE entries go here
    ASSERT_TRUE(log.install());
    for (int i = 0; i < 20; ++i) // past the limit: rotated once
        ACE_DEBUG((LM_DEBUG, "entry %d\n", i));
    ASSERT_TRUE(FileText::exists(path + ".1"));
    ASSERT_FALSE(FileText::exists(path + ".2"));

    ACE_Log_Record record(LM_INFO, ACE_Time_Value(1700000000), 1);
    record.msg_data("entry 1000");
    other.log(record);
    log.uninstall();
    other.uninstall();
    EXPECT_FALSE(FileText::exists(path + ".2"));
    EXPECT_EQ(entryNumber(linesOf(path).back()), 1000);
}

} // namespace
