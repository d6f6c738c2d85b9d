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
            {"notify", "ADDR[,ADDR...]",
                "Mails the on-call addresses when an alarm stays unacknowledged (PostgreSQL archive only)."},
            {"notify-after", "SECONDS",
                "How long an alarm may stay unacknowledged before the mail (default " +
                    std::to_string(NotifySettings::defaultNotifyAfterSeconds) +
                    "); warnings are never mailed."},
            {"escalate", "ADDR[,ADDR...]",
                "The second line, mailed when the alarm is still unacknowledged --escalate-after seconds "
                "after the first mail."},
            {"escalate-after", "SECONDS",
                "Default " + std::to_string(NotifySettings::defaultEscalateAfterSeconds) + "."},
            {"sendmail", "PATH",
                std::string("The program that sends, called as PATH -t -i (default ") +
                    NotifySettings::defaultSendmail + ")."},
            {"webhook", "URL", "Also POSTs each notification as JSON to this http:// or https:// address."},
            {"test-notify", "",
                "Sends one test mail to the --notify addresses and one call of the --webhook, then exits "
                "with "
                "the sender's status."},
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

// The on-call options; an empty value is the default (the unit passes every
// variable of /etc/default/kovrecorder, set or not).
bool notifyOptions(const CommandOptions& command, NotifySettings& notify, std::string& error)
{
    for (const char* name : {"notify", "escalate"}) {
        const std::string list = command.value(name);
        if (list.empty())
            continue;
        const auto addresses = NotifySettings::addresses(list, error);
        if (!addresses) {
            error = "--" + std::string(name) + ": " + error;
            return false;
        }
        (std::string(name) == "notify" ? notify.notify : notify.escalate) = *addresses;
    }
    for (const char* name : {"notify-after", "escalate-after"}) {
        const std::string text = command.value(name);
        if (text.empty())
            continue;
        const auto seconds = NotifySettings::seconds(text, error);
        if (!seconds) {
            error = "--" + std::string(name) + ": " + error;
            return false;
        }
        (std::string(name) == "notify-after" ? notify.notifyAfterSeconds : notify.escalateAfterSeconds) =
            *seconds;
    }
    notify.sendmail = command.value("sendmail");
    if (notify.sendmail.empty())
        notify.sendmail = NotifySettings::defaultSendmail;
    if (notify.sendmail[0] != '/') {
        error = "--sendmail must be a full path, such as /usr/sbin/sendmail";
        return false;
    }
    notify.webhook = command.value("webhook");
    if (!notify.webhook.empty() && !NotifySettings::validWebhook(notify.webhook)) {
        error = "--webhook must be an http:// or https:// address without blanks";
        return false;
    }
    if (!notify.escalate.empty() && !notify.enabled()) {
        error = "--escalate is the second line: it needs --notify or --webhook";
        return false;
    }
    return true;
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
    if (!notifyOptions(command, options.notify, error))
        return std::nullopt;
    options.testNotify = command.isSet("test-notify");
    if (options.testNotify && !options.notify.enabled()) {
        error = "--test-notify needs --notify or --webhook";
        return std::nullopt;
    }
    if (!command.isSet("archive") && !options.testNotify) {
        error = "--archive is missing (postgresql://USER@HOST:PORT/DB or sqlite:PATH)";
        return std::nullopt;
    }
    if (command.isSet("archive")) {
        const auto address = History::ArchiveAddress::parse(command.value("archive"), error);
        if (!address)
            return std::nullopt;
        options.archive = *address;
    }
    if (options.notify.enabled() && !options.testNotify &&
        options.archive.kind != History::ArchiveAddress::Kind::Postgres) {
        error = "--notify and --webhook need a postgresql:// archive: the alarm service and the outbox of "
                "notifications live there";
        return std::nullopt;
    }
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
