#include "config_item.h"

#include <algorithm>

ConfigItem::ConfigItem(const std::string& name, std::size_t count, const char* const* values) : name_(name)
{
    if (!values)
        return;
    const std::size_t kept = std::min(count, maxValues);
    values_.reserve(kept);
    for (std::size_t i = 0; i < kept; ++i)
        values_.emplace_back(values[i] ? values[i] : "");
}

ConfigItem::ConfigItem(const std::string& name, std::vector<std::string> values)
    : name_(name), values_(std::move(values))
{
    if (values_.size() > maxValues)
        values_.resize(maxValues);
}

const std::string& ConfigItem::value(std::size_t index) const
{
    static const std::string none;
    return index < values_.size() ? values_[index] : none;
}

void ConfigItem::setValue(std::size_t index, const char* text)
{
    if (index >= values_.size() || !text)
        return;
    values_[index] = text;
}

bool ConfigItem::operator==(const ConfigItem& other) const
{
    return name_ == other.name_ && values_ == other.values_;
}
