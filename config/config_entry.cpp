#include "config_entry.h"

ConfigEntry::ConfigEntry(ConfigItemPtr item, long filepos, std::optional<std::string> comment)
    : item_(std::move(item)), filepos_(filepos), comment_(std::move(comment))
{}
