#include "config_file.h"
#include "file_text.h"
#include "temp_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>
#include <string>

namespace {
std::string writeCaptured(ConfigFile& file)
{
    ::testing::internal::CaptureStdout();
    file.write();
    return ::testing::internal::GetCapturedStdout();
}

class BadInput : public ::testing::Test {
protected:
    std::string configPath() const { return dir.file("kov.cfg"); }
    void writeConfig(const std::string& text) { FileText::write(configPath(), text); }
    std::string config() const { return FileText::read(configPath()); }

    TempDir dir;
};
} // namespace

TEST_F(BadInput, BinaryGarbageReadsAndWritesBackWithoutLoss)
{
    std::mt19937 random(4);
    std::string garbage(64 * 1024, '\0');
    for (char& byte : garbage)
        byte = static_cast<char>(random() & 0xff);
    writeConfig(garbage);

    ConfigFile file(dir.path());
    ASSERT_TRUE(file.read("kov.cfg"));
    const std::size_t items = file.entries().size();
    const long head = items ? file.entries().front().filepos() : 0;
    writeCaptured(file);

    const std::string written = config();
    EXPECT_EQ(written.substr(0, head), garbage.substr(0, head));
    ConfigFile again(dir.path());
    EXPECT_TRUE(again.read("kov.cfg"));
}

TEST_F(BadInput, MegabyteLineOfOneWordIsNoItem)
{
    writeConfig("A 1\n" + std::string(1 << 20, 'x') + "\nB 2\n");
    ConfigFile file(dir.path());
    ASSERT_TRUE(file.read("kov.cfg"));
    ASSERT_EQ(file.entries().size(), 2u);
    EXPECT_EQ(file.entries()[1].item()->name(), "B");
}

TEST_F(BadInput, MegabyteLineOfWordsEndsTheReadingAndSurvivesTheWrite)
{
    std::string words;
    while (words.size() < (1u << 20))
        words += "w ";
    const std::string rest = words + "\nB 2\n";
    writeConfig("A 1\n" + rest);

    ConfigFile file(dir.path());
    ASSERT_TRUE(file.read("kov.cfg"));
    ASSERT_EQ(file.entries().size(), 1u);
    file.update(ConfigItemPtr(ConfigItem("A", {"5"})));
    writeCaptured(file);
    EXPECT_EQ(config(), "A 5\n" + rest);
}

TEST_F(BadInput, UnbalancedQuotesDropOnlyTheOpenValue)
{
    writeConfig("A \"open\nB 1 \"x\" 2\nC \"never closed, 3\nD 4 \"\"\"\n");
    ConfigFile file(dir.path());
    ASSERT_TRUE(file.read("kov.cfg"));
    ASSERT_EQ(file.entries().size(), 2u);
    EXPECT_EQ(file.entries()[0].item()->name(), "B");
    EXPECT_EQ(file.entries()[0].item()->count(), 1);
    EXPECT_EQ(file.entries()[1].item()->name(), "D");
    EXPECT_EQ(file.entries()[1].item()->count(), 1);
}

TEST_F(BadInput, TenThousandItemsAreAllKept)
{
    std::string text;
    for (int i = 0; i < 10000; ++i)
        text += "ITEM" + std::to_string(i) + " " + std::to_string(i) + "\n";
    writeConfig(text);

    ConfigFile file(dir.path());
    ASSERT_TRUE(file.read("kov.cfg"));
    ASSERT_EQ(file.entries().size(), 10000u);
    file.update(ConfigItemPtr(ConfigItem("ITEM9999", {"last"})));
    writeCaptured(file);

    ConfigFile again(dir.path());
    ASSERT_TRUE(again.read("kov.cfg"));
    ASSERT_EQ(again.entries().size(), 10000u);
    ConfigItemPtr item;
    ASSERT_TRUE(again.find("ITEM9999", item));
    EXPECT_EQ(item->value(0), "last");
    ASSERT_TRUE(again.find("ITEM5000", item));
    EXPECT_EQ(item->value(0), "5000");
}

TEST_F(BadInput, DirectoryThatIsAFileCreatesNothing)
{
    const std::string notADirectory = dir.file("plain");
    FileText::write(notADirectory, "x\n");
    ConfigFile file(notADirectory);
    EXPECT_FALSE(file.read("kov.cfg"));
    ASSERT_TRUE(file.add("A", "1"));
    EXPECT_EQ(writeCaptured(file), "Error opening " + notADirectory + "/kov.cfg in  ConfigFile::write()\n");
    EXPECT_EQ(FileText::read(notADirectory), "x\n");
}

TEST_F(BadInput, LongPathsAndLongLinesAreNotCut)
{
    std::string deep = dir.path();
    for (int i = 0; i < 6; ++i) {
        deep += "/" + std::string(40, char('a' + i));
        ASSERT_EQ(::mkdir(deep.c_str(), 0755), 0);
    }
    FileText::write(deep + "/kov.cfg", "A 1,2\n");
    ConfigFile file(deep);
    ASSERT_TRUE(file.read("kov.cfg"));
    ConfigItemPtr item;
    ASSERT_TRUE(file.find("A", item));
    const std::string longValue(300, 'v');
    item->setValue(1, longValue.c_str());
    file.update(item);
    EXPECT_EQ(writeCaptured(file), "Writing config file items to " + deep + "/kov.cfg\n");
    EXPECT_EQ(FileText::read(deep + "/kov.cfg"), "A 1," + longValue + "\n");
}
