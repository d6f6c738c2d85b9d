#pragma once

#include "alarm_setpoints.h"
#include "config_item_ptr.h"
#include "housing.h"

#include <array>
#include <string>

class KovInstrumentConfig;

// Loads the alarm setpoints of both housings from the configuration items
// "<housing>-TEMP_ALARM_SETPOINTS" and "<housing>-RH_ALARM_SETPOINTS" (warning
// level first, over-limit level second) and writes them back into the items
// that were loaded. Holds, per housing, the items the setpoints came from.
class SetpointStore {
public:
    static constexpr const char* tempKey = "TEMP_ALARM_SETPOINTS";
    static constexpr const char* rhKey = "RH_ALARM_SETPOINTS";

    SetpointStore(KovInstrumentConfig& config, AlarmSetpoints (&setpoints)[Housing::count]);

    // Loads one housing's two setpoint pairs; a pair whose item is missing or
    // does not hold exactly two values stays as it is and no item is held.
    void loadSetpoints(const std::string& housingName, int index);

    // Puts the setpoints into the held items ("%12.2lf") and writes the file.
    // False when the file could not be written (lastError() tells why).
    // Setpoints whose item was not loaded are not in the file either way.
    bool saveSetpoints();
    const std::string& lastError() const;

    const ConfigItemPtr& rhItem(int index) const;
    const ConfigItemPtr& tempItem(int index) const;

private:
    struct HousingItems {
        ConfigItemPtr rh;
        ConfigItemPtr temp;
    };

    bool loadPair(const std::string& name, ConfigItemPtr& held, double& warning, double& over);
    void savePair(ConfigItemPtr& held, double warning, double over);
    static bool validIndex(int index) { return index >= 0 && index < Housing::count; }

    KovInstrumentConfig& config_;
    AlarmSetpoints (&setpoints_)[Housing::count];
    std::array<HousingItems, Housing::count> items_;
};
