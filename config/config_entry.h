#pragma once

#include "config_item_ptr.h"

#include <optional>
#include <string>

// One element of the in-memory list of a ConfigFile: the item, the byte
// offset of the line it was read from (0 when added in memory) and the
// line's trailing comment, '#' included.
class ConfigEntry {
public:
    ConfigEntry(ConfigItemPtr item, long filepos, std::optional<std::string> comment);

    const ConfigItemPtr& item() const { return item_; }
    void setItem(const ConfigItemPtr& item) { item_ = item; }

    long filepos() const { return filepos_; }
    const std::optional<std::string>& comment() const { return comment_; }

private:
    ConfigItemPtr item_;
    long filepos_;
    std::optional<std::string> comment_;
};
