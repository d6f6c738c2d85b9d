#include "config_file.h"
#include "file_text.h"
#include "temp_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace {
std::string nameAt(const ConfigFile& file, std::size_t index)
{
    return file.entries().at(index).item()->name();
}

class ConfigFileRead : public ::testing::Test {
protected:
    void writeConfig(const std::string& text) { FileText::write(dir.file("kov.cfg"), text); }

    TempDir dir;
};
} // namespace

TEST_F(ConfigFileRead, ItemsComeWithTheirFileOffsetsAndComments)
{
    writeConfig("# head\n\nA 1,2 # first\nB 3\n");
    ConfigFile file(dir.path());
    ASSERT_TRUE(file.read("kov.cfg"));

    EXPECT_EQ(file.path(), dir.file("kov.cfg"));
    ASSERT_EQ(file.entries().size(), 2u);
    EXPECT_EQ(nameAt(file, 0), "A");
    EXPECT_EQ(file.entries()[0].filepos(), 8);
    EXPECT_EQ(file.entries()[0].comment(), std::string("# first"));
    EXPECT_EQ(nameAt(file, 1), "B");
    EXPECT_EQ(file.entries()[1].filepos(), 22);
    EXPECT_FALSE(file.entries()[1].comment());
}

TEST_F(ConfigFileRead, LongLinesAreReadInPiecesOf249Characters)
{
    // The second piece of the line starts with the token "X".
    writeConfig(std::string(249, 'a') + "X 5\n");
    ConfigFile file(dir.path());
    ASSERT_TRUE(file.read("kov.cfg"));
    ASSERT_EQ(file.entries().size(), 1u);
    EXPECT_EQ(nameAt(file, 0), "X");
    EXPECT_EQ(file.entries()[0].filepos(), 249);
}

TEST_F(ConfigFileRead, LineWithTwentyOneValuesEndsTheReading)
{
    std::string twenty = "T";
    for (int i = 0; i < 20; ++i)
        twenty += " v";
    writeConfig("A 1\n" + twenty + "\n" + twenty + " v\nB 2\n");
    ConfigFile file(dir.path());
    ASSERT_TRUE(file.read("kov.cfg"));
    ASSERT_EQ(file.entries().size(), 2u);
    EXPECT_EQ(nameAt(file, 1), "T");
    EXPECT_EQ(file.entries()[1].item()->count(), 20);
}

TEST_F(ConfigFileRead, MissingFileKeepsTheListAndSetsThePath)
{
    writeConfig("A 1\n");
    ConfigFile file(dir.path());
    ASSERT_TRUE(file.read("kov.cfg"));
    EXPECT_FALSE(file.read("other.cfg"));
    EXPECT_EQ(file.path(), dir.file("other.cfg"));
    ASSERT_EQ(file.entries().size(), 1u);
    EXPECT_EQ(nameAt(file, 0), "A");
}

TEST_F(ConfigFileRead, ReadReplacesTheWholeList)
{
    writeConfig("A 1\nB 2\n");
    FileText::write(dir.file("second.cfg"), "C 3\n");
    ConfigFile file(dir.path());
    ASSERT_TRUE(file.read("kov.cfg"));
    ASSERT_TRUE(file.read("second.cfg"));
    ASSERT_EQ(file.entries().size(), 1u);
    EXPECT_EQ(nameAt(file, 0), "C");
}

TEST_F(ConfigFileRead, FindGivesACopyOfTheFirstOccurrence)
{
    writeConfig("A first\nB x\nA second\n");
    ConfigFile file(dir.path());
    ASSERT_TRUE(file.read("kov.cfg"));

    ConfigItemPtr item;
    ASSERT_TRUE(file.find("A", item));
    EXPECT_EQ(item->value(0), "first");
    item->setValue(0, "changed");
    ConfigItemPtr again;
    ASSERT_TRUE(file.find("A", again));
    EXPECT_EQ(again->value(0), "first");

    ConfigItemPtr untouched(ConfigItem("KEEP", {"1"}));
    EXPECT_FALSE(file.find("a", untouched));
    EXPECT_EQ(untouched->name(), "KEEP");
}

TEST_F(ConfigFileRead, UpdateChangesOnlyTheFirstOccurrence)
{
    writeConfig("A first # c\nA second\n");
    ConfigFile file(dir.path());
    ASSERT_TRUE(file.read("kov.cfg"));

    ConfigItemPtr item(ConfigItem("A", {"new", "two"}));
    file.update(item);
    item->setValue(0, "after");

    const auto& entries = file.entries();
    EXPECT_EQ(entries[0].item()->value(0), "new");
    EXPECT_EQ(entries[0].item()->count(), 2);
    EXPECT_EQ(entries[0].comment(), std::string("# c"));
    EXPECT_EQ(entries[0].filepos(), 0);
    EXPECT_EQ(entries[1].item()->value(0), "second");
}

TEST_F(ConfigFileRead, UpdateOfAnAbsentNameChangesNothing)
{
    writeConfig("A 1\n");
    ConfigFile file(dir.path());
    ASSERT_TRUE(file.read("kov.cfg"));
    file.update(ConfigItemPtr(ConfigItem("Z", {"9"})));
    file.update(ConfigItemPtr());
    ASSERT_EQ(file.entries().size(), 1u);
    EXPECT_EQ(nameAt(file, 0), "A");
    EXPECT_EQ(file.entries()[0].item()->value(0), "1");
}

TEST_F(ConfigFileRead, AddAppendsAnEntryWithoutPositionOrComment)
{
    writeConfig("A 1\n");
    ConfigFile file(dir.path());
    ASSERT_TRUE(file.read("kov.cfg"));
    EXPECT_TRUE(file.add("NEW", "v"));
    EXPECT_TRUE(file.add("BARE"));
    EXPECT_FALSE(file.add(""));
    EXPECT_FALSE(file.add("TWO WORDS", "v"));
    EXPECT_FALSE(file.add("HASH#", "v"));

    ASSERT_EQ(file.entries().size(), 3u);
    const ConfigEntry& added = file.entries()[1];
    EXPECT_EQ(added.item()->name(), "NEW");
    EXPECT_EQ(added.item()->count(), 1);
    EXPECT_EQ(added.item()->value(0), "v");
    EXPECT_EQ(added.filepos(), 0);
    EXPECT_FALSE(added.comment());
    EXPECT_EQ(file.entries()[2].item()->count(), 0);
}

TEST_F(ConfigFileRead, FileIsReadOnlyWhileHeldAndOwnerWritableAfter)
{
    writeConfig("A 1\n");
    ASSERT_EQ(::chmod(dir.file("kov.cfg").c_str(), 0664), 0);
    {
        ConfigFile file(dir.path());
        ASSERT_TRUE(file.read("kov.cfg"));
        EXPECT_EQ(FileText::mode(dir.file("kov.cfg")), 0444u);
    }
    EXPECT_EQ(FileText::mode(dir.file("kov.cfg")), 0644u);
}

TEST_F(ConfigFileRead, DumpPrintsEveryEntry)
{
    writeConfig("A 1,2 #c\nB x\n");
    ConfigFile file(dir.path());
    ASSERT_TRUE(file.read("kov.cfg"));
    ::testing::internal::CaptureStdout();
    file.dump();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
        "name:A\tfilepos:0\tcomment:#c 1, 2,\n"
        "name:B\tfilepos:9 x,\n");
}

TEST(ConfigFileDirectory, DefaultsToTheStartDirectory)
{
    char buffer[4096];
    ASSERT_NE(::getcwd(buffer, sizeof buffer), nullptr);
    EXPECT_EQ(ConfigFile().directory(), std::string(buffer));
}
