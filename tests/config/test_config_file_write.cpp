#include "child_process.h"
#include "config_file.h"
#include "file_text.h"
#include "temp_dir.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>

using namespace std::chrono_literals;

namespace {
// Ends the process where a crash or power cut would hurt most.
class CrashBeforeRename : public ConfigFile {
public:
    using ConfigFile::ConfigFile;

protected:
    void tempFileWritten(const std::string&) override { ::_exit(42); }
};

class ConfigFileWrite : public ::testing::Test {
protected:
    // The lines printed; the result goes to written.
    std::string writeCaptured(ConfigFile& file)
    {
        ::testing::internal::CaptureStdout();
        written = file.write();
        return ::testing::internal::GetCapturedStdout();
    }
    std::string configPath() const { return dir.file("kov.cfg"); }
    std::string tempPath() const { return dir.file("kov.$$$"); }
    void writeConfig(const std::string& text) { FileText::write(configPath(), text); }
    std::string config() const { return FileText::read(configPath()); }

    TempDir dir;
    bool written = false;
};

std::string reason(const std::string& what, int error)
{
    return what + ": " + std::strerror(error);
}

const std::string head = "# KOV client settings\n#   line two,\twith tab  \r\n\n";
} // namespace

TEST_F(ConfigFileWrite, HeadStaysByteForByteAndItemsAreRewritten)
{
    writeConfig(head + "A   B , C   # note  \nD\t1\n");
    ConfigFile file(dir.path());
    ASSERT_TRUE(file.read("kov.cfg"));

    EXPECT_EQ(writeCaptured(file), "Writing config file items to " + configPath() + "\n");
    EXPECT_TRUE(written);
    EXPECT_EQ(file.lastError(), "");
    EXPECT_EQ(config(), head + "A B,C\t# note  \nD 1\n");
    EXPECT_FALSE(FileText::exists(tempPath()));
}

TEST_F(ConfigFileWrite, LinesBetweenItemsAreDroppedAtTheFirstWrite)
{
    writeConfig("A 1\n# between\nSINGLE\n\nB 2\n# after\n");
    ConfigFile file(dir.path());
    ASSERT_TRUE(file.read("kov.cfg"));
    writeCaptured(file);
    EXPECT_EQ(config(), "A 1\nB 2\n");
}

TEST_F(ConfigFileWrite, UpdatedValuesReachTheDiskOnlyAtWrite)
{
    writeConfig(head + "A 1,2\n");
    ConfigFile file(dir.path());
    ASSERT_TRUE(file.read("kov.cfg"));
    ConfigItemPtr item;
    ASSERT_TRUE(file.find("A", item));
    item->setValue(1, "20");
    file.update(item);
    EXPECT_EQ(config(), head + "A 1,2\n");

    writeCaptured(file);
    EXPECT_EQ(config(), head + "A 1,20\n");
    // The head is unchanged, so a second write in the same run is the same.
    writeCaptured(file);
    EXPECT_EQ(config(), head + "A 1,20\n");
}

TEST_F(ConfigFileWrite, UpdateOfAnAbsentNameWritesNothingNew)
{
    writeConfig("A 1\n");
    ConfigFile file(dir.path());
    ASSERT_TRUE(file.read("kov.cfg"));
    file.update(ConfigItemPtr(ConfigItem("Z", {"9"})));
    writeCaptured(file);
    EXPECT_EQ(config(), "A 1\n");
}

TEST_F(ConfigFileWrite, EmptyListLeavesTheFileAsItWas)
{
    const std::string text = "# only comments\nSINGLE\n  \n";
    writeConfig(text);
    ConfigFile file(dir.path());
    ASSERT_TRUE(file.read("kov.cfg"));
    EXPECT_EQ(writeCaptured(file), "Writing config file items to " + configPath() + "\n");
    EXPECT_TRUE(written);
    EXPECT_EQ(config(), text);
    EXPECT_FALSE(FileText::exists(tempPath()));
}

TEST_F(ConfigFileWrite, ItemsAddedToAFileWithoutItemsGoAfterAllItsLines)
{
    writeConfig("# comment\nSINGLE");
    ConfigFile file(dir.path());
    ASSERT_TRUE(file.read("kov.cfg"));
    ASSERT_TRUE(file.add("NEW", "1"));
    ASSERT_TRUE(file.add("BARE"));
    writeCaptured(file);
    EXPECT_EQ(config(), "# comment\nSINGLE\nNEW 1\nBARE \n");
}

TEST_F(ConfigFileWrite, WrittenFileIsReadOnlyWithTheOtherBitsKept)
{
    writeConfig("A 1\n");
    ASSERT_EQ(::chmod(configPath().c_str(), 0640), 0);
    {
        ConfigFile file(dir.path());
        ASSERT_TRUE(file.read("kov.cfg"));
        writeCaptured(file);
        EXPECT_EQ(FileText::mode(configPath()), 0440u);
    }
    EXPECT_EQ(FileText::mode(configPath()), 0640u);
}

TEST_F(ConfigFileWrite, RestAfterALineWithTooManyValuesIsCopiedThrough)
{
    std::string overLong = "WIDE";
    for (int i = 0; i < 21; ++i)
        overLong += " " + std::to_string(i);
    const std::string rest = overLong + "\n# later comment\nC 3 # kept\n";
    writeConfig(head + "A 1\n# between\nB 2\n" + rest);

    ConfigFile file(dir.path());
    ASSERT_TRUE(file.read("kov.cfg"));
    ASSERT_EQ(file.entries().size(), 2u);
    file.update(ConfigItemPtr(ConfigItem("A", {"10"})));
    writeCaptured(file);
    EXPECT_EQ(config(), head + "A 10\nB 2\n" + rest);

    // The rest moved with the shorter item lines; a second write still finds it.
    file.update(ConfigItemPtr(ConfigItem("B", {"20", "21"})));
    writeCaptured(file);
    EXPECT_EQ(config(), head + "A 10\nB 20,21\n" + rest);

    ConfigFile again(dir.path());
    ASSERT_TRUE(again.read("kov.cfg"));
    EXPECT_EQ(again.entries().size(), 2u);
}

TEST_F(ConfigFileWrite, WriteBeforeReadAndMissingFileReportTheConfigPath)
{
    ConfigFile unread(dir.path());
    EXPECT_EQ(writeCaptured(unread), "Error opening  in  ConfigFile::write()\n");
    EXPECT_FALSE(written);

    ConfigFile file(dir.path());
    EXPECT_FALSE(file.read("kov.cfg"));
    ASSERT_TRUE(file.add("A", "1"));
    EXPECT_EQ(writeCaptured(file), "Error opening " + configPath() + " in  ConfigFile::write()\n");
    EXPECT_FALSE(written);
    EXPECT_EQ(file.lastError(), reason("Cannot open " + configPath() + " for reading", ENOENT));
    EXPECT_FALSE(FileText::exists(configPath()));
    EXPECT_FALSE(FileText::exists(tempPath()));
}

TEST_F(ConfigFileWrite, TempFileThatCannotBeCreatedLeavesTheConfigFile)
{
    writeConfig("A 1\n");
    ASSERT_EQ(::mkdir(tempPath().c_str(), 0755), 0);
    ConfigFile file(dir.path());
    ASSERT_TRUE(file.read("kov.cfg"));
    file.update(ConfigItemPtr(ConfigItem("A", {"2"})));
    EXPECT_EQ(writeCaptured(file), "Error opening " + tempPath() + " in ConfigFile::write()\n");
    EXPECT_FALSE(written);
    EXPECT_EQ(file.lastError(), reason("Cannot create " + tempPath(), EEXIST));
    EXPECT_EQ(config(), "A 1\n");
}

TEST_F(ConfigFileWrite, StaleTempFileOrLinkIsReplacedNotWrittenThrough)
{
    const std::string outside = dir.file("outside.txt");
    FileText::write(outside, "not ours\n");
    ASSERT_EQ(::symlink(outside.c_str(), tempPath().c_str()), 0);
    writeConfig("A 1\n");
    ConfigFile file(dir.path());
    ASSERT_TRUE(file.read("kov.cfg"));
    file.update(ConfigItemPtr(ConfigItem("A", {"2"})));
    writeCaptured(file);

    EXPECT_EQ(config(), "A 2\n");
    EXPECT_EQ(FileText::read(outside), "not ours\n");
    EXPECT_FALSE(FileText::exists(tempPath()));
}

TEST_F(ConfigFileWrite, FailedRenameIsReportedAndNothingIsLost)
{
    // A directory opens for reading but cannot be replaced by a file.
    ASSERT_EQ(::mkdir(configPath().c_str(), 0755), 0);
    ConfigFile file(dir.path());
    ASSERT_TRUE(file.read("kov.cfg"));
    ASSERT_TRUE(file.add("A", "1"));
    const std::string output = writeCaptured(file);
    EXPECT_NE(
        output.find("Unable to rename " + tempPath() + " to " + configPath() + "\n"), std::string::npos);
    EXPECT_FALSE(written);
    EXPECT_EQ(file.lastError(), reason("Cannot rename " + tempPath() + " to " + configPath(), EISDIR));
    EXPECT_EQ(FileText::read(tempPath()), "A 1\n");

    // Once the way is clear, the same object writes and forgets the failure.
    ASSERT_EQ(::rmdir(configPath().c_str()), 0);
    FileText::write(configPath(), "A 0\n");
    writeCaptured(file);
    EXPECT_TRUE(written);
    EXPECT_EQ(file.lastError(), "");
    EXPECT_EQ(config(), "A 1\n");
}

TEST_F(ConfigFileWrite, CrashBeforeTheRenameLeavesTheOldFileWhole)
{
    const std::string old = head + "A 1\n";
    writeConfig(old);
    ChildProcess child([this] {
        CrashBeforeRename file(dir.path());
        if (!file.read("kov.cfg"))
            ::_exit(1);
        file.update(ConfigItemPtr(ConfigItem("A", {"2"})));
        file.write();
    });
    ASSERT_EQ(child.waitForExit(10s), 42);
    EXPECT_EQ(config(), old);
    EXPECT_EQ(FileText::read(tempPath()), head + "A 2\n");

    // The next run reads the old file and replaces the stale temporary file.
    ConfigFile file(dir.path());
    ASSERT_TRUE(file.read("kov.cfg"));
    file.update(ConfigItemPtr(ConfigItem("A", {"3"})));
    writeCaptured(file);
    EXPECT_EQ(config(), head + "A 3\n");
    EXPECT_FALSE(FileText::exists(tempPath()));
}

TEST_F(ConfigFileWrite, FailedWriteOfTheTempFileLeavesTheOldFileWhole)
{
    const std::string old = std::string(1000, '#') + "\nA 1\n";
    writeConfig(old);
    ChildProcess child([this] {
        // Any file write beyond 500 bytes fails, as on a full disk.
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{500, 500};
        ConfigFile file(dir.path());
        if (!file.read("kov.cfg") || ::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            ::_exit(1);
        file.update(ConfigItemPtr(ConfigItem("A", {"2"})));
        if (file.write())
            ::_exit(2);
        std::printf("%s\n", file.lastError().c_str());
    });
    ASSERT_EQ(child.waitForExit(10s), 0);
    EXPECT_EQ(config(), old);
    EXPECT_EQ(child.text(ChildProcess::Stream::Output),
        "Writing config file items to " + configPath() + "\nError writing " + tempPath() + "\n" +
            reason("Cannot write " + tempPath(), EFBIG) + "\n");
}
