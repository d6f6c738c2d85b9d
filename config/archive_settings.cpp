#include "archive_settings.h"

#include "instrument_config.h"

ArchiveSettings ArchiveSettings::load(const InstrumentConfig& config)
{
    ArchiveSettings settings;
    ConfigItemPtr item;
    if (config.getItem(itemName, item) && item->count() >= 1)
        settings.address = item->value(0);
    return settings;
}
