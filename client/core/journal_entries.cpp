#include "journal_entries.h"

#include "csv_writer.h"
#include "housing.h"
#include "time_text.h"

#include <algorithm>
#include <cstdio>

std::string JournalEntries::priorityWord(std::uint32_t priority)
{
    switch (priority) {
    case 0:
        return "Message";
    case 1:
        return "Warning";
    case 2:
        return "Alarm";
    default:
        return "Priority " + std::to_string(priority);
    }
}

JournalEntry JournalEntries::of(const History::SetpointChange& change)
{
    static const char* const names[] = {
        "temperature warning", "over temperature", "humidity warning", "over humidity"};
    const int which = static_cast<int>(change.which);
    const char* unit = which < 2 ? "°C" : "%";
    char text[160];
    // The stores refuse rows of other housings; this guards the text alone.
    const char* housing = Housing::valid(change.housing) ? Housing::names[change.housing] : "Unknown housing";
    std::snprintf(text, sizeof text, "%s %s setpoint changed from %.2f %s to %.2f %s", housing,
        names[which & 3], change.oldValue, unit, change.newValue, unit);
    return {change.timeMs, "Setpoint", text};
}

JournalEntry JournalEntries::of(const History::LinkChange& change)
{
    switch (change.kind) {
    case History::LinkEvent::Connected:
        return {change.timeMs, "Link", "Link connected"};
    case History::LinkEvent::Reconnected:
        return {change.timeMs, "Link", "Link reconnected"};
    case History::LinkEvent::Lost:
        break;
    }
    return {change.timeMs, "Link", change.reason.empty() ? "Link lost" : "Link lost: " + change.reason};
}

JournalEntry JournalEntries::of(const History::AlarmRecord& record)
{
    std::string text;
    switch (record.action) {
    case History::AlarmAction::Raised:
        text = "Raised: ";
        break;
    case History::AlarmAction::Cleared:
        text = "Cleared: ";
        break;
    case History::AlarmAction::Acknowledged:
        text = "Acknowledged by " + record.user + ": ";
        break;
    case History::AlarmAction::Shelved:
        text = "Shelved by " + record.user + " until " + TimeText::isoMs(record.untilMs) + ": ";
        break;
    case History::AlarmAction::Unshelved:
        text = "Unshelved by " + record.user + ": ";
        break;
    case History::AlarmAction::ShelfExpired:
        text = "Back from the shelf: ";
        break;
    }
    text += record.point;
    return {record.timeMs, "Alarm log", record.comment.empty() ? text : text + " (" + record.comment + ")"};
}

std::vector<JournalEntry> JournalEntries::collect(
    History::HistorySource& source, std::int64_t fromMs, std::int64_t toMs)
{
    std::vector<JournalEntry> entries;
    for (const History::MessageRecord& m : source.messages(fromMs, toMs))
        entries.push_back({m.arrivalMs, priorityWord(static_cast<std::uint32_t>(m.priority)), m.text});
    for (const History::SetpointChange& c : source.setpointChanges(fromMs, toMs))
        entries.push_back(of(c));
    for (const History::LinkChange& c : source.linkChanges(fromMs, toMs))
        entries.push_back(of(c));
    for (const History::AlarmRecord& r : source.alarmRecords(fromMs, toMs))
        entries.push_back(of(r));
    std::stable_sort(entries.begin(), entries.end(),
        [](const JournalEntry& a, const JournalEntry& b) { return a.timeMs < b.timeMs; });
    return entries;
}

std::string JournalEntries::csv(const std::vector<JournalEntry>& entries)
{
    std::string out = CsvWriter::row({"time (UTC)", "priority", "text"});
    for (const JournalEntry& e : entries)
        out += CsvWriter::row({TimeText::isoMs(e.timeMs), e.kind, e.text});
    return out;
}
