#include "recorder_settings.h"

#include "client_timing.h"
#include "decimal_text.h"
#include "kov_instrument_config.h"
#include "setpoint_store.h"

#include <cerrno>
#include <cstring>

namespace Recorder {

namespace {

struct ItemShape {
    std::string name;
    int values;
    const char* says;
};

std::vector<ItemShape> shapes()
{
    std::vector<ItemShape> items;
    for (const char* housing : Housing::configNames) {
        items.push_back({std::string(housing) + "-" + SetpointStore::tempKey, 2,
            "two numbers, the warning level first, then the over-limit level"});
        items.push_back({std::string(housing) + "-" + SetpointStore::rhKey, 2,
            "two numbers, the warning level first, then the over-limit level"});
    }
    items.push_back({AlarmSettings::deadbandKey, 2, "two numbers, degrees Celsius and percent"});
    items.push_back({AlarmSettings::delayKey, 1, "one number of seconds"});
    items.push_back({ClientTiming::staleKey, 1, "one number of seconds"});
    return items;
}

// An item the file holds must be readable: a value that is not a number
// would leave a default standing in for what the file meant.
bool readable(const InstrumentConfig& config, const ItemShape& shape)
{
    ConfigItemPtr item;
    if (!config.getItem(shape.name, item))
        return true;
    if (item->count() != shape.values)
        return false;
    for (int i = 0; i < shape.values; ++i)
        if (!DecimalText::parseWhole(item->value(i)))
            return false;
    return true;
}

using Field = double AlarmSetpoints::*;
constexpr std::array<std::pair<History::Setpoint, Field>, 4> fields{{
    {History::Setpoint::TempWarning, &AlarmSetpoints::tempWarning},
    {History::Setpoint::OverTemp, &AlarmSetpoints::overTemp},
    {History::Setpoint::RhWarning, &AlarmSetpoints::rhWarning},
    {History::Setpoint::OverRh, &AlarmSetpoints::overRh},
}};

} // namespace

std::optional<RecorderSettings> RecorderSettings::read(const std::string& path, std::string& error)
{
    const auto slash = path.rfind('/');
    const std::string directory = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    KovInstrumentConfig config(directory);
    if (name.empty() || !config.peekConfig(name)) {
        error = "cannot read " + path + ": " + std::strerror(name.empty() ? EISDIR : errno);
        return std::nullopt;
    }
    for (const ItemShape& shape : shapes())
        if (!readable(config, shape)) {
            error = path + ": " + shape.name + " must hold " + shape.says;
            return std::nullopt;
        }
    RecorderSettings settings;
    settings.alarms = AlarmSettings::read(config);
    AlarmSetpoints setpoints[Housing::count];
    SetpointStore store(config, setpoints);
    for (int housing = 0; housing < Housing::count; ++housing) {
        store.loadSetpoints(Housing::configNames[housing], housing);
        settings.setpoints[housing] = setpoints[housing];
    }
    return settings;
}

std::vector<History::SetpointChange> RecorderSettings::changesFrom(
    const RecorderSettings& before, std::int64_t timeMs) const
{
    std::vector<History::SetpointChange> changes;
    for (int housing = 0; housing < Housing::count; ++housing)
        for (const auto& [which, field] : fields) {
            const double old = before.setpoints[housing].*field;
            const double now = setpoints[housing].*field;
            if (old != now)
                changes.push_back({housing, which, old, now, timeMs});
        }
    return changes;
}

std::vector<History::SetpointChange> RecorderSettings::inForce(std::int64_t timeMs) const
{
    std::vector<History::SetpointChange> changes;
    for (int housing = 0; housing < Housing::count; ++housing)
        for (const auto& [which, field] : fields)
            changes.push_back({housing, which, setpoints[housing].*field, setpoints[housing].*field, timeMs});
    return changes;
}

bool RecorderSettings::alarmsDiffer(const RecorderSettings& other) const
{
    const AlarmSettings& a = alarms;
    const AlarmSettings& b = other.alarms;
    return a.deadbandCelsius != b.deadbandCelsius || a.deadbandPercent != b.deadbandPercent ||
        a.delaySeconds != b.delaySeconds || a.staleSeconds != b.staleSeconds;
}

} // namespace Recorder
