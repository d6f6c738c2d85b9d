#include "client_timing.h"

#include "decimal_text.h"
#include "instrument_config.h"

#include <cmath>
#include <optional>

namespace {

// A whole number of seconds from 0 to a day.
std::optional<int> seconds(const std::string& text)
{
    const std::optional<double> value = DecimalText::parseWhole(text);
    if (!value || *value < 0 || *value > 86400 || std::floor(*value) != *value)
        return std::nullopt;
    return static_cast<int>(*value);
}

} // namespace

ClientTiming ClientTiming::read(const InstrumentConfig& config)
{
    ClientTiming timing;
    ConfigItemPtr item;
    if (config.getItem(staleKey, item) && item->count() == 1)
        timing.staleSeconds = seconds(item->value(0)).value_or(timing.staleSeconds);

    if (!config.getItem(reconnectKey, item))
        return timing;
    const std::optional<int> first = seconds(item->value(0));
    if (item->count() == 1 && first == 0) {
        timing.reconnectFirstSeconds = 0;
        return timing;
    }
    const std::optional<int> longest = seconds(item->value(1));
    if (item->count() == 2 && first > 0 && longest >= first) {
        timing.reconnectFirstSeconds = *first;
        timing.reconnectLongestSeconds = *longest;
    }
    return timing;
}
