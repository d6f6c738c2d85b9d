#pragma once

#include <string>

class InstrumentConfig;

// The shared archive the client's trends and journal read, from the item
// "KOV-ARCHIVE postgresql://USER@HOST:PORT/DB" (absent: the local history
// only). Only read, never written.
struct ArchiveSettings {
    static constexpr const char* itemName = "KOV-ARCHIVE";

    std::string address; // empty when the item is absent

    static ArchiveSettings load(const InstrumentConfig& config);
};
