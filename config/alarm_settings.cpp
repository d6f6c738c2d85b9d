#include "alarm_settings.h"

#include "client_timing.h"
#include "decimal_text.h"
#include "instrument_config.h"

#include <cmath>
#include <optional>

namespace {

// A deadband from 0 to the width of a gauge's scale.
std::optional<double> deadband(const std::string& text, double widest)
{
    const std::optional<double> value = DecimalText::parseWhole(text);
    if (!value || !std::isfinite(*value) || *value < 0 || *value > widest)
        return std::nullopt;
    return value;
}

} // namespace

AlarmSettings AlarmSettings::read(const InstrumentConfig& config)
{
    AlarmSettings settings;
    settings.staleSeconds = ClientTiming::read(config).staleSeconds;
    ConfigItemPtr item;
    if (config.getItem(deadbandKey, item) && item->count() == 2) {
        const std::optional<double> celsius = deadband(item->value(0), 50);
        const std::optional<double> percent = deadband(item->value(1), 100);
        if (celsius && percent) {
            settings.deadbandCelsius = *celsius;
            settings.deadbandPercent = *percent;
        }
    }
    if (config.getItem(delayKey, item) && item->count() == 1) {
        const std::optional<double> seconds = DecimalText::parseWhole(item->value(0));
        if (seconds && *seconds >= 0 && *seconds <= 3600)
            settings.delaySeconds = static_cast<int>(*seconds);
    }
    return settings;
}
