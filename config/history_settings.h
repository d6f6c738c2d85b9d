#pragma once

#include <string>

class InstrumentConfig;

// How long the history keeps its rows, from the item
// "KOV-HISTORY_DAYS <raw days>,<rollup days>" (90,3650 when absent or not
// two whole numbers of at least 0). No raw days means no recording. The item
// is only read, never written.
struct HistorySettings {
    static constexpr const char* itemName = "KOV-HISTORY_DAYS";
    static constexpr int defaultRawDays = 90;
    static constexpr int defaultRollupDays = 3650;

    int rawDays = defaultRawDays;
    int rollupDays = defaultRollupDays;

    bool recording() const { return rawDays > 0; }

    // `problem` is set when the item was there but not usable.
    static HistorySettings load(const InstrumentConfig& config, std::string* problem = nullptr);
};
