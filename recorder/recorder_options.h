#pragma once

#include "archive_address.h"
#include "command_words.h"

#include <cstddef>
#include <optional>
#include <string>

namespace Recorder {

// The recorder's own options, taken out of the command line before the
// remaining words (the criteria first) go to the ORB:
//   --archive postgresql://USER@HOST:PORT/DB | sqlite:PATH   (required)
//   --buffer N   rows held while the archive is unreachable (default 10^6)
struct RecorderOptions {
    static constexpr std::size_t defaultBuffer = 1000000;

    History::ArchiveAddress archive;
    std::size_t buffer = defaultBuffer;
    CommandWords words;
    bool helpShown = false; // --help or --version: printed, nothing else to do

    // Empty with `error` set when the options are wrong.
    static std::optional<RecorderOptions> parse(int argc, char** argv, std::string& error);
};

} // namespace Recorder
