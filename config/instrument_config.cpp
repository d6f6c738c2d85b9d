#include "instrument_config.h"

InstrumentConfig::InstrumentConfig(std::string instrumentName, std::string directory)
    : instrumentName_(std::move(instrumentName)), configFile_(std::move(directory))
{}

InstrumentConfig::~InstrumentConfig() = default;

void InstrumentConfig::readConfig(const char* fileName)
{
    configFile_.read(fileName ? std::string(fileName) : instrumentName_ + ".cfg");
}

bool InstrumentConfig::writeConfig()
{
    return configFile_.write();
}

bool InstrumentConfig::getItem(const std::string& name, ConfigItemPtr& item) const
{
    return configFile_.find(name, item);
}

void InstrumentConfig::updateItem(ConfigItemPtr item)
{
    configFile_.update(std::move(item));
}

void InstrumentConfig::addItem(const std::string& name, const char* value)
{
    configFile_.add(name, value);
}
