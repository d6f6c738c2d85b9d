#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One named item of the configuration file: a name and up to 20 text values,
// kept exactly as written in the file.
class ConfigItem {
public:
    static constexpr std::size_t maxValues = 20;

    // Copies the name and at most the first maxValues of the count texts
    // (a null text is taken as empty).
    ConfigItem(const std::string& name, std::size_t count, const char* const* values);
    ConfigItem(const std::string& name, std::vector<std::string> values);

    const std::string& name() const { return name_; }
    std::uint16_t count() const { return static_cast<std::uint16_t>(values_.size()); }

    // The value at index; an empty text when index is not below count().
    const std::string& value(std::size_t index) const;

    // Replaces an existing value; never adds one. A null text changes nothing.
    void setValue(std::size_t index, const char* text);

    bool operator==(const ConfigItem& other) const;
    bool operator!=(const ConfigItem& other) const { return !(*this == other); }

private:
    std::string name_;
    std::vector<std::string> values_;
};
