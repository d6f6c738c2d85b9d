#include "recorder_options.h"

#include "command_options.h"
#include "instrument_name.h"
#include "recorder_settings.h"
#include "state_folder.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace Recorder {

namespace {

CommandOptions commandOptions()
{
    return CommandOptions("kovrecorder", "[criteria] [ORB options]",
        "Records every reading, message and link change of a KOV instrument into an archive.\n"
        "Words after the options go to the ORB; the first is the subscription's criteria.",
        {
            {"archive", "ADDRESS",
                "The archive: postgresql://USER@HOST:PORT/DB (password from PGPASSWORD or ~/.pgpass) "
                "or sqlite:PATH."},
            {"instrument", "NAME",
                "The instrument's name in the archive, where many may share one server (default: the "
                "criteria, else KOV): letters, digits, '.', '_' and '-'."},
            {"config", "FILE",
                std::string("The setpoints and alarm items, in kov.cfg's format, read again on SIGHUP and "
                            "when the file changes (default ") +
                    RecorderSettings::defaultPath + ")."},
            {"buffer", "ROWS",
                "Rows held in memory while the archive is unreachable (default " +
                    std::to_string(RecorderOptions::defaultBuffer) + ")."},
            {"buffer-mb", "MB",
                "Memory the messages and link changes held may take, in MiB (default " +
                    std::to_string(RecorderOptions::defaultBufferMb) + ")."},
            {"state-dir", "DIR",
                "Where the rows held at a stop wait for the next start, and refused rows are set aside "
                "(default $STATE_DIRECTORY, else $XDG_STATE_HOME/kovrecorder or "
                "~/.local/state/kovrecorder)."},
            {"help", "", "Shows this help.", 'h'},
            {"version", "", "Shows the version."},
        });
}

bool wholeNumber(const std::string& text, unsigned long long least, unsigned long long& value)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 12)
        return false;
    value = std::strtoull(text.c_str(), nullptr, 10);
    return value >= least;
}

} // namespace

std::string RecorderOptions::usage()
{
    return commandOptions().usage();
}

std::optional<RecorderOptions> RecorderOptions::parse(int argc, char** argv, std::string& error)
{
    CommandOptions command = commandOptions();
    if (!command.parse(argc, argv)) {
        error = command.error();
        return std::nullopt;
    }
    RecorderOptions options;
    if (command.isSet("help") || command.isSet("version")) {
        std::fputs(
            (command.isSet("help") ? command.usage() : std::string("kovrecorder 1.0.0\n")).c_str(), stdout);
        options.helpShown = true;
        return options;
    }
    if (!command.isSet("archive")) {
        error = "--archive is missing (postgresql://USER@HOST:PORT/DB or sqlite:PATH)";
        return std::nullopt;
    }
    const auto address = History::ArchiveAddress::parse(command.value("archive"), error);
    if (!address)
        return std::nullopt;
    options.archive = *address;
    unsigned long long number = 0;
    if (!wholeNumber(command.value("buffer", std::to_string(defaultBuffer)), 1000, number)) {
        error = "--buffer must be a whole number of rows, at least 1000";
        return std::nullopt;
    }
    options.buffer = number;
    if (!wholeNumber(command.value("buffer-mb", std::to_string(defaultBufferMb)), 8, number) ||
        number > (std::size_t(1) << 20)) {
        error = "--buffer-mb must be a whole number of MiB, at least 8";
        return std::nullopt;
    }
    options.eventBytes = static_cast<std::size_t>(number) << 20;
    options.stateDir = command.value("state-dir", StateFolder::defaultPath());
    if (options.stateDir.empty()) {
        error = "--state-dir names no folder";
        return std::nullopt;
    }
    options.configGiven = command.isSet("config");
    options.config = command.value("config", RecorderSettings::defaultPath);
    if (options.config.empty()) {
        error = "--config names no file";
        return std::nullopt;
    }

    // The words as the client takes them: each split further at blanks.
    std::vector<std::string> rest = command.rest();
    std::vector<char*> words{argv[0]};
    for (std::string& word : rest)
        words.push_back(word.data());
    options.words = CommandWords::fromCommandLine(static_cast<int>(words.size()), words.data());
    options.instrument = command.value("instrument", InstrumentName::fromWords(options.words.words()));
    if (!InstrumentName::valid(options.instrument)) {
        error = std::string("--instrument must be ") + InstrumentName::rule;
        return std::nullopt;
    }
    return options;
}

} // namespace Recorder
