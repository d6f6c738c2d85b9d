#include "alarm_levels.h"

#include <cmath>

namespace {

using State = AlarmLevels::State;

State above(double value, double over, double warning)
{
    if (!std::isfinite(value) || value == AlarmLevels::noData)
        return State::NoData;
    if (value > over)
        return State::Over;
    if (value > warning)
        return State::Warning;
    return State::Within;
}

// A non-finite reading is a sensor fault, never "over"; the -1.0 test comes
// after the levels, so a negative setpoint makes it count as over.
State atOrAbove(double value, double over, double warning)
{
    if (!std::isfinite(value))
        return State::NoData;
    if (value >= over)
        return State::Over;
    if (value >= warning)
        return State::Warning;
    if (value == AlarmLevels::noData)
        return State::NoData;
    return State::Within;
}

const char* text(State state, const char* over)
{
    switch (state) {
    case State::Over:
        return over;
    case State::Warning:
        return "WARNING       ";
    case State::Within:
        return "OK            ";
    case State::NoData:
        break;
    }
    return "INVALID DATA  ";
}

} // namespace

State AlarmLevels::gaugeTemperature(double celsius, const AlarmSetpoints& setpoints)
{
    return above(celsius, setpoints.overTemp, setpoints.tempWarning);
}

double AlarmLevels::gaugeHumidityValue(double percent)
{
    if (!std::isfinite(percent))
        return noData;
    return std::trunc(percent);
}

State AlarmLevels::gaugeHumidity(double percent, const AlarmSetpoints& setpoints)
{
    return above(gaugeHumidityValue(percent), setpoints.overRh, setpoints.rhWarning);
}

Rgb AlarmLevels::gaugeColour(State state)
{
    switch (state) {
    case State::Over:
        return DisplayColour::overLimit;
    case State::Warning:
        return DisplayColour::warning;
    case State::Within:
        return DisplayColour::gaugeWithin;
    case State::NoData:
        break;
    }
    return DisplayColour::noData;
}

State AlarmLevels::status(double value, double over, double warning)
{
    return atOrAbove(value, over, warning);
}

State AlarmLevels::statusTemperature(double celsius, const AlarmSetpoints& setpoints)
{
    return atOrAbove(celsius, setpoints.overTemp, setpoints.tempWarning);
}

State AlarmLevels::statusHumidity(double percent, const AlarmSetpoints& setpoints)
{
    return atOrAbove(percent, setpoints.overRh, setpoints.rhWarning);
}

Rgb AlarmLevels::statusColour(State state)
{
    return state == State::Within ? DisplayColour::neutral : gaugeColour(state);
}

const char* AlarmLevels::temperatureText(State state)
{
    return text(state, "OVER TEMP     ");
}

const char* AlarmLevels::humidityText(State state)
{
    return text(state, "OVER HUMIDITY ");
}

const char* AlarmLevels::spoken(State state)
{
    switch (state) {
    case State::Over:
        return "over limit";
    case State::Warning:
        return "warning";
    case State::Within:
        return "within limits";
    case State::NoData:
        break;
    }
    return "no data";
}
