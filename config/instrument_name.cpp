#include "instrument_name.h"

#include "instrument_config.h"

#include <cctype>

bool InstrumentName::valid(const std::string& name)
{
    if (name.empty() || name.size() > 64)
        return false;
    for (char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_' && c != '-')
            return false;
    return true;
}

std::string InstrumentName::fromWords(const std::vector<std::string>& words)
{
    return !words.empty() && words.front()[0] != '-' ? words.front() : fallback;
}

std::string InstrumentName::load(
    const InstrumentConfig& config, const std::string& defaultName, std::string* problem)
{
    auto tell = [problem](const std::string& text) {
        if (problem)
            *problem = text;
    };
    const std::string usable = valid(defaultName) ? defaultName : fallback;
    ConfigItemPtr item;
    if (!config.getItem(itemName, item)) {
        if (usable != defaultName)
            tell("the criteria \"" + defaultName + "\" is no instrument's name (" + rule +
                "); the archive is read as " + usable + "'s; name it with " + itemName);
        return usable;
    }
    if (item->count() == 1 && valid(item->value(0)))
        return item->value(0);
    tell(std::string(itemName) + " wants one name of " + rule + "; the archive is read as " + usable + "'s");
    return usable;
}
