#include "history_settings.h"

#include "instrument_config.h"

#include <cerrno>
#include <cstdlib>
#include <optional>

namespace {

// A whole number of days, 0 to 100 years.
std::optional<int> days(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < 0 || value > 36525)
        return std::nullopt;
    return static_cast<int>(value);
}

} // namespace

HistorySettings HistorySettings::load(const InstrumentConfig& config, std::string* problem)
{
    HistorySettings settings;
    ConfigItemPtr item;
    if (!config.getItem(itemName, item))
        return settings;
    const std::optional<int> raw = days(item->value(0));
    const std::optional<int> rollup = days(item->value(1));
    if (item->count() != 2 || !raw || !rollup) {
        if (problem)
            *problem = std::string(itemName) + " wants two whole numbers of days (raw, rollup); " +
                "the defaults 90,3650 are used";
        return settings;
    }
    settings.rawDays = *raw;
    settings.rollupDays = *rollup;
    return settings;
}
