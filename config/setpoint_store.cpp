#include "setpoint_store.h"

#include "decimal_text.h"
#include "kov_instrument_config.h"

SetpointStore::SetpointStore(KovInstrumentConfig& config, AlarmSetpoints (&setpoints)[Housing::count])
    : config_(config), setpoints_(setpoints)
{}

void SetpointStore::loadSetpoints(const std::string& housingName, int index)
{
    if (!validIndex(index))
        return;
    AlarmSetpoints& setpoints = setpoints_[index];
    HousingItems& items = items_[index];
    loadPair(housingName + "-" + tempKey, items.temp, setpoints.tempWarning, setpoints.overTemp);
    loadPair(housingName + "-" + rhKey, items.rh, setpoints.rhWarning, setpoints.overRh);
}

bool SetpointStore::loadPair(const std::string& name, ConfigItemPtr& held, double& warning, double& over)
{
    ConfigItemPtr item;
    if (!config_.getItem(name, item) || item->count() != 2)
        return false;
    // A value that is not a number keeps the setpoint in force (the
    // default at start): read as 0.0, an over-limit setpoint would put every
    // reading in alarm. The exit then writes the value in force over it.
    warning = DecimalText::parse(item->value(0)).value_or(warning);
    over = DecimalText::parse(item->value(1)).value_or(over);
    held = std::move(item);
    return true;
}

bool SetpointStore::saveSetpoints()
{
    for (int index = 0; index < Housing::count; ++index) {
        const AlarmSetpoints& setpoints = setpoints_[index];
        HousingItems& items = items_[index];
        savePair(items.temp, setpoints.tempWarning, setpoints.overTemp);
        savePair(items.rh, setpoints.rhWarning, setpoints.overRh);
    }
    return config_.writeConfig();
}

const std::string& SetpointStore::lastError() const
{
    return config_.lastError();
}

void SetpointStore::savePair(ConfigItemPtr& held, double warning, double over)
{
    if (!held)
        return;
    held->setValue(0, DecimalText::format(warning).c_str());
    held->setValue(1, DecimalText::format(over).c_str());
    config_.updateItem(held);
}

const ConfigItemPtr& SetpointStore::rhItem(int index) const
{
    static const ConfigItemPtr none;
    return validIndex(index) ? items_[index].rh : none;
}

const ConfigItemPtr& SetpointStore::tempItem(int index) const
{
    static const ConfigItemPtr none;
    return validIndex(index) ? items_[index].temp : none;
}
