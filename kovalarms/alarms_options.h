#pragma once

#include "archive_address.h"
#include "instrument_name.h"

#include <optional>
#include <string>
#include <vector>

namespace AlarmsTool {

// kovalarms's exit statuses.
enum Status {
    Success = 0,
    BadUse = 1,
    Unreachable = 3,  // the archive does not answer, or holds no alarm tables
    RightRefused = 4, // the role may not do this, or the server refused the login
    UnknownPoint = 5,
    Queued = 6,   // asked, but no alarm service applied it in time
    Declined = 7, // the alarm service applied it and said why it did nothing
};

// kovalarms's command line:
//   --archive ADDRESS [--instrument NAME] [--wait SECONDS] COMMAND
// with COMMAND one of
//   list | ack POINT... | ack all [--comment TEXT]
//   | shelve POINT MINUTES [--comment TEXT] | unshelve POINT
struct AlarmsOptions {
    enum class Command {
        List,
        Acknowledge,
        Shelve,
        Unshelve
    };

    static constexpr const char* defaultInstrument = InstrumentName::fallback;
    static constexpr int defaultWaitSeconds = 5;
    static constexpr int longestWaitSeconds = 60;
    // The engine's longest shelf.
    static int longestShelfMinutes();

    History::ArchiveAddress archive;
    // Empty for `list` without --instrument: every instrument of the archive.
    std::string instrument;
    Command command = Command::List;
    std::vector<std::string> points; // point keys, or just "all" for ack
    int minutes = 0;                 // shelve
    std::string comment;
    int waitSeconds = defaultWaitSeconds;
    bool helpShown = false; // --help or --version was answered

    // Empty, with `error` set, for bad use. `status` tells bad use from a
    // point the engine does not know (UnknownPoint).
    static std::optional<AlarmsOptions> parse(int argc, char** argv, std::string& error, Status& status);
    static std::string usage();
    // The action's word for kov_alarm_action().
    const char* action() const;
};

} // namespace AlarmsTool
