#include "alarms_options.h"

#include "alarm_engine.h"
#include "alarm_point.h"
#include "alarm_room_schema.h"
#include "command_options.h"
#include "instrument_name.h"

#include <algorithm>
#include <cstdio>

namespace AlarmsTool {

namespace {

CommandOptions commandOptions()
{
    return CommandOptions("kovalarms",
        "list | ack POINT... | ack all | shelve POINT MINUTES | unshelve POINT",
        "Shows and handles the alarms the control room's alarm service (kovrecorder) keeps in the archive.\n"
        "  list                  one line per alarm point: instrument, point, state, since (UTC), value,\n"
        "                        setpoint, who acknowledged or shelved it; then the alarm service and its\n"
        "                        last heartbeat. Without --instrument, every instrument of the archive.\n"
        "  ack POINT... | all    acknowledge the points (or every point of the instrument)\n"
        "  shelve POINT MINUTES  put the point aside for 1 to " +
            std::to_string(AlarmsOptions::longestShelfMinutes()) +
            " minutes\n"
            "  unshelve POINT        take it off the shelf\n"
            "Points are named as list shows them: link, electronics.temperature, spectrometer.water, ...\n"
            "An action is queued for the alarm service; kovalarms waits for the service to apply it.\n"
            "Exit status: 0 done, 1 bad use, 3 the archive does not answer (or holds no alarm tables), "
            "4 no right (the role may not act, or the login was refused), 5 unknown point, 6 queued but "
            "no alarm service applied it in time (it will when the service runs), 7 the alarm service "
            "did not apply it (its reason is shown).",
        {
            {"archive", "ADDRESS",
                "The archive: postgresql://USER@HOST:PORT/DB (password from PGPASSWORD or ~/.pgpass)."},
            {"instrument", "NAME",
                "The instrument (default KOV for ack, shelve and unshelve; list shows every instrument "
                "unless this names one)."},
            {"comment", "TEXT", "Why: recorded with an acknowledgement or a shelf."},
            {"wait", "SECONDS",
                "How long to wait for the alarm service to apply an action (default " +
                    std::to_string(AlarmsOptions::defaultWaitSeconds) + ", 0 to " +
                    std::to_string(AlarmsOptions::longestWaitSeconds) + ")."},
            {"help", "", "Shows this help.", 'h'},
            {"version", "", "Shows the version."},
        });
}

// A whole decimal number from `low` to `high`, or none.
std::optional<int> number(const std::string& text, int low, int high)
{
    if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const int n = std::stoi(text);
    if (n < low || n > high)
        return std::nullopt;
    return n;
}

// The command's words after its name: the points (and a shelf's minutes).
bool takeWords(AlarmsOptions& options, std::vector<std::string> words, std::string& error)
{
    using Command = AlarmsOptions::Command;
    words.erase(words.begin());
    switch (options.command) {
    case Command::List:
        if (words.empty())
            return true;
        error = "list takes no words: \"" + words.front() + "\"";
        return false;
    case Command::Acknowledge:
        if (words.empty()) {
            error = "ack needs a POINT (or all)";
            return false;
        }
        if (words.size() > 1 && std::find(words.begin(), words.end(), "all") != words.end()) {
            error = "ack all takes no other point";
            return false;
        }
        options.points = words;
        return true;
    case Command::Shelve:
        if (words.size() != 2) {
            error = "shelve needs a POINT and MINUTES";
            return false;
        }
        if (const auto minutes = number(words[1], 1, AlarmsOptions::longestShelfMinutes())) {
            options.minutes = *minutes;
        } else {
            error = "shelve takes 1 to " + std::to_string(AlarmsOptions::longestShelfMinutes()) +
                " minutes (8 h at most), not \"" + words[1] + "\"";
            return false;
        }
        options.points = {words[0]};
        return true;
    case Command::Unshelve:
        if (words.size() != 1) {
            error = "unshelve needs one POINT";
            return false;
        }
        options.points = words;
        return true;
    }
    return false;
}

std::optional<AlarmsOptions::Command> commandNamed(const std::string& word)
{
    using Command = AlarmsOptions::Command;
    if (word == "list")
        return Command::List;
    if (word == AlarmRoomSchema::acknowledge)
        return Command::Acknowledge;
    if (word == AlarmRoomSchema::shelve)
        return Command::Shelve;
    if (word == AlarmRoomSchema::unshelve)
        return Command::Unshelve;
    return std::nullopt;
}

// Every option given fits the command.
bool optionsFit(const CommandOptions& given, const AlarmsOptions& options, std::string& error)
{
    using Command = AlarmsOptions::Command;
    if (given.isSet("comment") && options.command != Command::Acknowledge &&
        options.command != Command::Shelve) {
        error = "--comment goes with ack or shelve";
        return false;
    }
    if (given.isSet("wait") && options.command == Command::List) {
        error = "--wait goes with ack, shelve or unshelve";
        return false;
    }
    return true;
}

} // namespace

int AlarmsOptions::longestShelfMinutes()
{
    return static_cast<int>(AlarmEngine::longestShelfMs / 60000);
}

std::string AlarmsOptions::usage()
{
    return commandOptions().usage();
}

const char* AlarmsOptions::action() const
{
    switch (command) {
    case Command::Acknowledge:
        return AlarmRoomSchema::acknowledge;
    case Command::Shelve:
        return AlarmRoomSchema::shelve;
    case Command::Unshelve:
        return AlarmRoomSchema::unshelve;
    case Command::List:
        break;
    }
    return "";
}

std::optional<AlarmsOptions> AlarmsOptions::parse(int argc, char** argv, std::string& error, Status& status)
{
    status = BadUse;
    CommandOptions given = commandOptions();
    if (!given.parse(argc, argv)) {
        error = given.error();
        return std::nullopt;
    }
    AlarmsOptions options;
    if (given.isSet("help") || given.isSet("version")) {
        std::fputs((given.isSet("help") ? given.usage() : std::string("kovalarms 1.0.0\n")).c_str(), stdout);
        options.helpShown = true;
        status = Success;
        return options;
    }
    // No word goes to an ORB here: one that looks like an option is a
    // mistyped one.
    for (const std::string& word : given.rest())
        if (word.size() > 1 && word[0] == '-' && !number(word.substr(1), 0, 999999)) {
            error = "unknown option " + word.substr(0, word.find('='));
            return std::nullopt;
        }
    if (given.rest().empty()) {
        error = "no command: list, ack, shelve or unshelve";
        return std::nullopt;
    }
    const auto chosen = commandNamed(given.rest().front());
    if (!chosen) {
        error = "unknown command \"" + given.rest().front() + "\": list, ack, shelve or unshelve";
        return std::nullopt;
    }
    options.command = *chosen;
    if (!takeWords(options, given.rest(), error) || !optionsFit(given, options, error))
        return std::nullopt;

    if (!given.isSet("archive")) {
        error = "--archive postgresql://USER@HOST:PORT/DB is missing";
        return std::nullopt;
    }
    const auto archive = History::ArchiveAddress::parse(given.value("archive"), error);
    if (!archive)
        return std::nullopt;
    if (archive->kind != History::ArchiveAddress::Kind::Postgres) {
        error = "the alarm service's tables live in a PostgreSQL archive (postgresql://USER@HOST:PORT/DB)";
        return std::nullopt;
    }
    options.archive = *archive;

    options.instrument = given.value(
        "instrument", options.command == Command::List ? std::string() : std::string(defaultInstrument));
    if (given.isSet("instrument") && !InstrumentName::valid(options.instrument)) {
        error = std::string("--instrument must be ") + InstrumentName::rule;
        return std::nullopt;
    }
    options.comment = given.value("comment");
    if (given.isSet("wait")) {
        const auto wait = number(given.value("wait"), 0, longestWaitSeconds);
        if (!wait) {
            error = "--wait takes 0 to " + std::to_string(longestWaitSeconds) + " seconds, not \"" +
                given.value("wait") + "\"";
            return std::nullopt;
        }
        options.waitSeconds = *wait;
    }

    for (const std::string& point : options.points)
        if (point != AlarmRoomSchema::allPoints && !AlarmPoint::fromKey(point)) {
            error = "no alarm point \"" + point + "\" (list shows them: link, electronics.temperature, ...)";
            status = UnknownPoint;
            return std::nullopt;
        }
    if (options.command != Command::Acknowledge && !options.points.empty() &&
        options.points.front() == AlarmRoomSchema::allPoints) {
        error = "only ack takes all";
        return std::nullopt;
    }
    status = Success;
    return options;
}

} // namespace AlarmsTool
