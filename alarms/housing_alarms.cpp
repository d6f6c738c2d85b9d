#include "housing_alarms.h"

#include "alarm_levels.h"

HousingAlarms HousingAlarms::of(double celsius, double percent, bool water, const AlarmSetpoints& setpoints)
{
    HousingAlarms alarms;
    alarms.temperature = AlarmLevels::gaugeTemperature(celsius, setpoints) == AlarmLevels::State::Over;
    alarms.humidity = AlarmLevels::gaugeHumidity(percent, setpoints) == AlarmLevels::State::Over;
    alarms.water = water;
    return alarms;
}
