#include "instrument_name.h"
#include "kov_instrument_config.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace {

TEST(InstrumentName, TheItemElseTheCriteriaElseKovAndABadOneIsTold)
{
    struct Case {
        std::string line;
        std::string criteria, name;
        bool told;
    };
    const Case cases[] = {
        {"", "KOV-7", "KOV-7", false},
        {"KOV-INSTRUMENT spectro.north_2\n", "KOV-7", "spectro.north_2", false},
        {"KOV-INSTRUMENT A,B\n", "KOV-7", "KOV-7", true},
        {"KOV-INSTRUMENT it's\n", "KOV-7", "KOV-7", true},
        {"KOV-INSTRUMENT " + std::string(65, 'x') + "\n", "KOV-7", "KOV-7", true},
        {"", "KOV/7", "KOV", true},
        {"KOV-INSTRUMENT B\n", "KOV/7", "B", false},
    };
    for (const Case& c : cases) {
        TempDir dir;
        std::ofstream(dir.file("kov.cfg")) << "KOV-E1-TEMP_ALARM_SETPOINTS 24.00,32.00\n" << c.line;
        KovInstrumentConfig config(dir.path());
        config.openDefaultConfig();
        std::string problem;
        EXPECT_EQ(InstrumentName::load(config, c.criteria, &problem), c.name) << c.line << c.criteria;
        EXPECT_EQ(!problem.empty(), c.told) << c.line << c.criteria << ": " << problem;
    }
}

TEST(InstrumentName, TheCriteriaIsTheFirstWordUnlessAnOption)
{
    EXPECT_EQ(InstrumentName::fromWords({"KOV-2", "-ORBInitRef", "x"}), "KOV-2");
    EXPECT_EQ(InstrumentName::fromWords({"-ORBInitRef", "x"}), "KOV");
    EXPECT_EQ(InstrumentName::fromWords({}), "KOV");
}

} // namespace
