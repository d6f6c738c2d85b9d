#include "kov_instrument_config.h"

KovInstrumentConfig::KovInstrumentConfig(std::string directory)
    : InstrumentConfig("KOV", std::move(directory))
{}

void KovInstrumentConfig::openDefaultConfig()
{
    readConfig(defaultFileName);
}
