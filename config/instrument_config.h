#pragma once

#include "config_file.h"
#include "config_item_ptr.h"

#include <string>

// Settings of an instrument, kept in its configuration file.
class InstrumentConfig {
public:
    // instrumentName forms the default file name "<name>.cfg"; the file is
    // looked up in directory.
    explicit InstrumentConfig(
        std::string instrumentName, std::string directory = ConfigFile::startDirectory());
    virtual ~InstrumentConfig();

    InstrumentConfig(const InstrumentConfig&) = delete;
    InstrumentConfig& operator=(const InstrumentConfig&) = delete;

    // Reads fileName, or "<instrument name>.cfg" when null. A file that cannot
    // be read leaves the item list as it was.
    virtual void readConfig(const char* fileName = nullptr);
    // Reads fileName without holding it (ConfigFile::peek); false when it
    // cannot be opened.
    bool peekConfig(const std::string& fileName) { return configFile_.peek(fileName); }
    // Writes the items back into the file; false when the file does not now
    // hold them (lastError() tells why).
    virtual bool writeConfig();
    virtual bool getItem(const std::string& name, ConfigItemPtr& item) const;
    virtual void updateItem(ConfigItemPtr item);
    virtual void addItem(const std::string& name, const char* value = nullptr);

    const std::string& instrumentName() const { return instrumentName_; }
    const ConfigFile& configFile() const { return configFile_; }
    const std::string& lastError() const { return configFile_.lastError(); }

private:
    std::string instrumentName_;
    ConfigFile configFile_;
};
