#pragma once

#include "instrument_config.h"

// The KOV instrument's settings: instrument name "KOV", file "kov.cfg".
class KovInstrumentConfig : public InstrumentConfig {
public:
    static constexpr const char* defaultFileName = "kov.cfg";

    explicit KovInstrumentConfig(std::string directory = ConfigFile::startDirectory());

    // Reads "kov.cfg".
    void openDefaultConfig();
};
