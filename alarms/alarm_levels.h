#pragma once

#include "alarm_setpoints.h"
#include "display_colour.h"

// The alarm state of one reading against a housing's setpoints, as the main
// window's gauges and the setpoints dialog show it. A reading of exactly
// -1.0 is the instrument's "no data"; a reading that is not a finite number
// (a sensor fault) is no data as well.
class AlarmLevels {
public:
    enum class State {
        Within,
        Warning,
        Over,
        NoData
    };

    // The gauges: a reading above a level (strictly) takes that level's
    // colour; humidity counts in whole percent, truncated toward zero.
    static State gaugeTemperature(double celsius, const AlarmSetpoints& setpoints);
    static State gaugeHumidity(double percent, const AlarmSetpoints& setpoints);
    // The humidity the gauge shows: truncated toward zero; -1.0 for no data.
    static double gaugeHumidityValue(double percent);
    static Rgb gaugeColour(State state);

    // The setpoints dialog: a reading at or above a level takes it; the
    // levels are tested before the no-data value.
    static State statusTemperature(double celsius, const AlarmSetpoints& setpoints);
    // The same rule for any value and its two levels.
    static State status(double value, double over, double warning);
    static State statusHumidity(double percent, const AlarmSetpoints& setpoints);
    static Rgb statusColour(State state);
    // The 14-character status texts ("OVER TEMP     ", "WARNING       " ...).
    static const char* temperatureText(State state);
    static const char* humidityText(State state);

    // A word for screen readers: "within limits", "warning", "over limit",
    // "no data".
    static const char* spoken(State state);

    static constexpr double noData = -1.0;
};
