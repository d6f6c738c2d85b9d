#pragma once

#include "archive_address.h"
#include "command_words.h"
#include "notify_settings.h"

#include <cstddef>
#include <optional>
#include <string>

namespace Recorder {

// The recorder's own options, taken out of the command line before the
// remaining words (the criteria first) go to the ORB, by the rule of
// CommandOptions (an unknown --word before the criteria is refused):
//   --archive postgresql://USER@HOST:PORT/DB | sqlite:PATH   (required)
//   --buffer N       rows held while the archive is unreachable (default 10^6)
//   --buffer-mb MB   what the messages held may take (default 128 MiB)
//   --state-dir DIR  where the rows held at a stop wait for the next start
//   --instrument NAME  the instrument's name in the archive (default: the criteria)
//   --notify, --notify-after, --escalate, --escalate-after, --sendmail,
//   --webhook  who is told of the alarms nobody acknowledges (NotifySettings;
//              an empty value, as the unit passes an unset variable, is the default)
//   --test-notify  one test mail and one webhook call, then the sender's status
//   --config FILE    setpoints and alarm items, kov.cfg's format (default
//                    /etc/kovrecorder/kov.cfg, where a missing file means the defaults)
struct RecorderOptions {
    static constexpr std::size_t defaultBuffer = 1000000;
    static constexpr std::size_t defaultBufferMb = 128;

    History::ArchiveAddress archive;
    std::string instrument;
    std::size_t buffer = defaultBuffer;
    std::size_t eventBytes = defaultBufferMb << 20;
    std::string stateDir; // as given, or StateFolder::defaultPath()
    NotifySettings notify;
    bool testNotify = false; // --archive is not needed then
    std::string config;      // as given, or RecorderSettings::defaultPath
    bool configGiven = false;
    CommandWords words;
    bool helpShown = false; // --help or --version: printed, nothing else to do

    // Empty with `error` set when the options are wrong.
    static std::optional<RecorderOptions> parse(int argc, char** argv, std::string& error);
    // What --help prints; after an error, on standard error.
    static std::string usage();
};

} // namespace Recorder
