#include "alarm_setpoints.h"
#include "file_text.h"
#include "kov_instrument_config.h"
#include "setpoint_store.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

namespace {
const std::string fullFile = "# KOV setpoints\n"
                             "KOV-E1-TEMP_ALARM_SETPOINTS 21,31\n"
                             "KOV-E1-RH_ALARM_SETPOINTS 41,51 # electronics\n"
                             "KOV-S1-TEMP_ALARM_SETPOINTS 22,33\n"
                             "KOV-S1-RH_ALARM_SETPOINTS 44,55\n";

// One run of the client: settings object, both records, the load at start.
class ClientRun {
public:
    explicit ClientRun(const std::string& directory) : config(directory), store(config, setpoints)
    {
        config.openDefaultConfig();
        store.loadSetpoints("KOV-E1", 0);
        store.loadSetpoints("KOV-S1", 1);
    }

    KovInstrumentConfig config;
    AlarmSetpoints setpoints[Housing::count];
    SetpointStore store;
};

void expectSetpoints(
    const AlarmSetpoints& actual, double tempWarning, double overTemp, double rhWarning, double overRh)
{
    EXPECT_EQ(actual.tempWarning, tempWarning);
    EXPECT_EQ(actual.overTemp, overTemp);
    EXPECT_EQ(actual.rhWarning, rhWarning);
    EXPECT_EQ(actual.overRh, overRh);
}

class SetpointFile : public ::testing::Test {
protected:
    void writeConfig(const std::string& text) { FileText::write(dir.file("kov.cfg"), text); }
    std::string config() const { return FileText::read(dir.file("kov.cfg")); }
    std::unique_ptr<ClientRun> start() { return std::make_unique<ClientRun>(dir.path()); }
    std::string endCaptured(std::unique_ptr<ClientRun> run)
    {
        ::testing::internal::CaptureStdout();
        saved = run->store.saveSetpoints();
        error = run->store.lastError();
        run.reset();
        return ::testing::internal::GetCapturedStdout();
    }

    TempDir dir;
    bool saved = false;
    std::string error;
};
} // namespace

TEST(AlarmSetpoints, DefaultsAreThoseOfTheInstrument)
{
    expectSetpoints(AlarmSetpoints{}, 24.0, 32.0, 35.0, 60.0);
}

TEST(SetpointStoreNames, HousingIndexMatchesItsName)
{
    EXPECT_STREQ(Housing::configNames[0], "KOV-E1");
    EXPECT_STREQ(Housing::configNames[1], "KOV-S1");
}

TEST_F(SetpointFile, LoadsEachHousingFromItsOwnItems)
{
    writeConfig(fullFile);
    const auto run = start();
    expectSetpoints(run->setpoints[0], 21, 31, 41, 51);
    expectSetpoints(run->setpoints[1], 22, 33, 44, 55);
    ASSERT_TRUE(run->store.tempItem(1));
    EXPECT_EQ(run->store.tempItem(1)->name(), "KOV-S1-TEMP_ALARM_SETPOINTS");
    ASSERT_TRUE(run->store.rhItem(0));
    EXPECT_EQ(run->store.rhItem(0)->name(), "KOV-E1-RH_ALARM_SETPOINTS");
}

TEST_F(SetpointFile, SavedLinesAreTwelveDotTwoWithCommentsKept)
{
    writeConfig(fullFile);
    auto run = start();
    run->setpoints[0].tempWarning = 24.5;
    run->setpoints[1].overRh = 61.257;
    EXPECT_EQ(endCaptured(std::move(run)), "Writing config file items to " + dir.file("kov.cfg") + "\n");
    EXPECT_TRUE(saved);
    EXPECT_EQ(config(),
        "# KOV setpoints\n"
        "KOV-E1-TEMP_ALARM_SETPOINTS        24.50,       31.00\n"
        "KOV-E1-RH_ALARM_SETPOINTS        41.00,       51.00\t# electronics\n"
        "KOV-S1-TEMP_ALARM_SETPOINTS        22.00,       33.00\n"
        "KOV-S1-RH_ALARM_SETPOINTS        44.00,       61.26\n");
}

TEST_F(SetpointFile, DecimalSetpointsComeBackAsSaved)
{
    writeConfig("KOV-E1-TEMP_ALARM_SETPOINTS 24.75,32.9\nKOV-S1-RH_ALARM_SETPOINTS 35.5,-1e1\n");
    auto first = start();
    expectSetpoints(first->setpoints[0], 24.75, 32.9, 35.0, 60.0);
    expectSetpoints(first->setpoints[1], 24.0, 32.0, 35.5, -10.0);
    first->setpoints[0].overTemp = 33.25;
    endCaptured(std::move(first));

    const auto second = start();
    expectSetpoints(second->setpoints[0], 24.75, 33.25, 35.0, 60.0);
    expectSetpoints(second->setpoints[1], 24.0, 32.0, 35.5, -10.0);
}

TEST_F(SetpointFile, MissingItemKeepsDefaultsAndIsNotWrittenBack)
{
    std::string withoutS1Rh = fullFile.substr(0, fullFile.rfind("KOV-S1-RH"));
    writeConfig(withoutS1Rh);
    auto run = start();
    expectSetpoints(run->setpoints[1], 22, 33, 35.0, 60.0);
    EXPECT_FALSE(run->store.rhItem(1));
    run->setpoints[1].rhWarning = 36.0;
    endCaptured(std::move(run));
    EXPECT_EQ(config().find("KOV-S1-RH"), std::string::npos);
    EXPECT_NE(config().find("KOV-S1-TEMP_ALARM_SETPOINTS        22.00,       33.00\n"), std::string::npos);
}

TEST_F(SetpointFile, ItemWithThreeValuesIsIgnoredAndKeptAsItWas)
{
    writeConfig("KOV-E1-TEMP_ALARM_SETPOINTS 1,2,3\nKOV-E1-RH_ALARM_SETPOINTS 40,50\n");
    auto run = start();
    expectSetpoints(run->setpoints[0], 24.0, 32.0, 40, 50);
    EXPECT_FALSE(run->store.tempItem(0));
    run->setpoints[0].overTemp = 99.0;
    endCaptured(std::move(run));
    EXPECT_EQ(config(),
        "KOV-E1-TEMP_ALARM_SETPOINTS 1,2,3\n"
        "KOV-E1-RH_ALARM_SETPOINTS        40.00,       50.00\n");
}

TEST_F(SetpointFile, ValuesThatAreNotNumbersKeepTheDefaults)
{
    writeConfig("KOV-E1-TEMP_ALARM_SETPOINTS nan,inf\nKOV-E1-RH_ALARM_SETPOINTS 0x20,warm\n");
    auto run = start();
    // "0x20" starts with the number 0.
    expectSetpoints(run->setpoints[0], 24.0, 32.0, 0.0, 60.0);
    endCaptured(std::move(run));
    EXPECT_EQ(config(),
        "KOV-E1-TEMP_ALARM_SETPOINTS        24.00,       32.00\n"
        "KOV-E1-RH_ALARM_SETPOINTS         0.00,       60.00\n");
}

TEST_F(SetpointFile, MissingFileKeepsDefaultsAndReportsTheWrite)
{
    auto run = start();
    expectSetpoints(run->setpoints[0], 24.0, 32.0, 35.0, 60.0);
    expectSetpoints(run->setpoints[1], 24.0, 32.0, 35.0, 60.0);
    EXPECT_EQ(
        endCaptured(std::move(run)), "Error opening " + dir.file("kov.cfg") + " in  ConfigFile::write()\n");
    EXPECT_FALSE(saved);
    EXPECT_EQ(error, "Cannot open " + dir.file("kov.cfg") + " for reading: " + std::strerror(ENOENT));
    EXPECT_FALSE(FileText::exists(dir.file("kov.cfg")));
}

TEST_F(SetpointFile, OutOfRangeIndexIsIgnored)
{
    writeConfig(fullFile);
    auto run = start();
    run->store.loadSetpoints("KOV-S1", 2);
    run->store.loadSetpoints("KOV-S1", -1);
    EXPECT_FALSE(run->store.tempItem(2));
    expectSetpoints(run->setpoints[0], 21, 31, 41, 51);
}

TEST_F(SetpointFile, DefaultFileNameComesFromTheInstrumentName)
{
    FileText::write(dir.file("KOV.cfg"), "X 1\n");
    KovInstrumentConfig config(dir.path());
    config.readConfig();
    ConfigItemPtr item;
    EXPECT_TRUE(config.getItem("X", item));
    config.addItem("Y", "2");
    EXPECT_TRUE(config.getItem("Y", item));
    EXPECT_EQ(item->value(0), "2");
}
