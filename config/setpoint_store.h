#pragma once

#include "alarm_setpoints.h"
#include "config_item_ptr.h"

#include <array>
#include <string>

class KovInstrumentConfig;

// Loads the alarm setpoints of both housings from the configuration items
// "<housing>-TEMP_ALARM_SETPOINTS" and "<housing>-RH_ALARM_SETPOINTS" (warning
// level first, over-limit level second) and writes them back into the items
// that were loaded. Holds, per housing, the items the setpoints came from.
class SetpointStore {
public:
    static constexpr int housingCount = 2;
    // By housing index: 0 the electronics housing, 1 the spectrograph housing.
    static constexpr const char* housingNames[housingCount] = {"KOV-E1", "KOV-S1"};
    static constexpr const char* tempKey = "TEMP_ALARM_SETPOINTS";
    static constexpr const char* rhKey = "RH_ALARM_SETPOINTS";

    SetpointStore(KovInstrumentConfig& config, AlarmSetpoints (&setpoints)[housingCount]);

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
    static bool validIndex(int index) { return index >= 0 && index < housingCount; }

    KovInstrumentConfig& config_;
    AlarmSetpoints (&setpoints_)[housingCount];
    std::array<HousingItems, housingCount> items_;
};
