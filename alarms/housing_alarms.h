#pragma once

#include "alarm_setpoints.h"

// Which of a housing's reading points are in alarm: the temperature or the
// humidity over its limit (by the gauges' rules, so the bar turns red
// exactly when the point goes into alarm) and the water sensor. Warnings do
// not count.
struct HousingAlarms {
    bool temperature = false;
    bool humidity = false;
    bool water = false;

    static HousingAlarms of(double celsius, double percent, bool water, const AlarmSetpoints& setpoints);
};
