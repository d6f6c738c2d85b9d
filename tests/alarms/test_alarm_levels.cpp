#include "alarm_levels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

using State = AlarmLevels::State;
constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

// overTemp 32, tempWarning 24, overRh 60, rhWarning 35.
const AlarmSetpoints defaults;

struct Case {
    double reading;
    State gauge;  // main window: strictly above a level
    State status; // setpoints dialog: at or above a level
};

TEST(AlarmLevels, TemperatureOnBothDisplays)
{
    const Case cases[] = {
        {32.0, State::Warning, State::Over},
        {32.01, State::Over, State::Over},
        {24.0, State::Within, State::Warning},
        {24.01, State::Warning, State::Warning},
        {-0.5, State::Within, State::Within},
        {-1.0, State::NoData, State::NoData},
        {-1.5, State::Within, State::Within},
        {nan, State::NoData, State::NoData},
        {inf, State::NoData, State::NoData},
        {-inf, State::NoData, State::NoData},
        {std::numeric_limits<double>::denorm_min(), State::Within, State::Within},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AlarmLevels::gaugeTemperature(c.reading, defaults), c.gauge) << c.reading;
        EXPECT_EQ(AlarmLevels::statusTemperature(c.reading, defaults), c.status) << c.reading;
    }
}

TEST(AlarmLevels, HumidityGaugeCountsWholePercent)
{
    const Case cases[] = {
        {60.9, State::Warning, State::Over}, // 60 on the gauge is not above 60
        {61.0, State::Over, State::Over}, {35.5, State::Within, State::Warning},
        {-1.5, State::NoData, State::Within}, // the gauge truncates to -1
        {-1.0, State::NoData, State::NoData}, {nan, State::NoData, State::NoData},
        {1e300, State::Over, State::Over}, // no undefined integer conversion
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AlarmLevels::gaugeHumidity(c.reading, defaults), c.gauge) << c.reading;
        EXPECT_EQ(AlarmLevels::statusHumidity(c.reading, defaults), c.status) << c.reading;
    }
    EXPECT_EQ(AlarmLevels::gaugeHumidityValue(60.9), 60.0);
    EXPECT_EQ(AlarmLevels::gaugeHumidityValue(nan), -1.0);
}

TEST(AlarmLevels, SetpointsInUnusualOrder)
{
    AlarmSetpoints inverted;
    inverted.overTemp = 20.0;
    inverted.tempWarning = 30.0;
    // Between the two: the over test comes first.
    EXPECT_EQ(AlarmLevels::statusTemperature(25.0, inverted), State::Over);

    AlarmSetpoints negative;
    negative.overTemp = -5.0;
    // The levels are tested before the no-data value.
    EXPECT_EQ(AlarmLevels::statusTemperature(-1.0, negative), State::Over);
    EXPECT_EQ(AlarmLevels::gaugeTemperature(-1.0, negative), State::NoData);
}

TEST(AlarmLevels, TextsAndColours)
{
    const struct {
        State state;
        const char* temp;
        const char* rh;
        Rgb gauge;
        Rgb status;
    } rows[] = {
        {State::Over, "OVER TEMP     ", "OVER HUMIDITY ", {255, 0, 0}, {255, 0, 0}},
        {State::Warning, "WARNING       ", "WARNING       ", {255, 255, 0}, {255, 255, 0}},
        {State::Within, "OK            ", "OK            ", {53, 168, 111}, {192, 192, 192}},
        {State::NoData, "INVALID DATA  ", "INVALID DATA  ", {164, 72, 255}, {164, 72, 255}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(std::string(AlarmLevels::temperatureText(row.state)), row.temp);
        EXPECT_EQ(std::string(AlarmLevels::humidityText(row.state)), row.rh);
        EXPECT_EQ(std::string(AlarmLevels::temperatureText(row.state)).size(), 14u);
        EXPECT_TRUE(AlarmLevels::gaugeColour(row.state) == row.gauge);
        EXPECT_TRUE(AlarmLevels::statusColour(row.state) == row.status);
    }
}

} // namespace
