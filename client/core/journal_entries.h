#pragma once

#include "history_source.h"

#include <cstdint>
#include <string>
#include <vector>

// One line of the journal's history: a message, a setpoint change, a link
// change or an alarm's life, as words.
struct JournalEntry {
    std::int64_t timeMs = 0;
    std::string kind; // "Message", "Warning", "Alarm", "Setpoint", "Link", "Alarm log"
    std::string text;
};

class JournalEntries {
public:
    // Everything the history holds for [fromMs, toMs), in time order.
    static std::vector<JournalEntry> collect(
        History::HistorySource& source, std::int64_t fromMs, std::int64_t toMs);

    static std::string priorityWord(std::uint32_t priority);
    static JournalEntry of(const History::SetpointChange& change);
    static JournalEntry of(const History::LinkChange& change);
    static JournalEntry of(const History::AlarmRecord& record);

    // The CSV of entries: UTC time (ISO 8601), kind, text.
    static std::string csv(const std::vector<JournalEntry>& entries);
};
