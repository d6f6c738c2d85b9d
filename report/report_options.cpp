#include "report_options.h"

#include "command_options.h"
#include "instrument_name.h"
#include "utc_time.h"

#include <cstdio>

namespace Report {

namespace {

CommandOptions commandOptions()
{
    return CommandOptions("kovreport", "",
        "Writes the shift report of a KOV instrument as PDF: the housings' readings against their limits, "
        "the data's completeness, the link's outages and the alarm figures against the ISA-18.2 and "
        "EEMUA 191 targets, the trends, the alarm timeline and the table of events.\n"
        "The range is the last 24 h unless --from, --to or --last say otherwise; times are UTC "
        "(2026-12-08, 2026-12-08T18:00 or 2026-12-08 18:00:00).\n"
        "Exit status: 0 written, 1 bad use, 2 the source cannot be read, 3 a file cannot be written.",
        {
            {"history", "FILE", "The local history file (kovhistory.db) to read."},
            {"archive", "ADDRESS",
                "The archive to read: postgresql://USER@HOST:PORT/DB (password from PGPASSWORD or "
                "~/.pgpass) or sqlite:PATH."},
            {"instrument", "NAME",
                "The instrument the report is about, whose rows are read from the archive (default "
                "KOV)."},
            {"from", "UTC", "The range's start."},
            {"to", "UTC", "The range's end."},
            {"last", "LENGTH", "The range's length: 8h, 24h, 7d, ... (at most 366d)."},
            {"out", "FILE.pdf", "Where the report is written."},
            {"csv", "FILE", "Also write the figures of page 1 as CSV."},
            {"help", "", "Shows this help.", 'h'},
            {"version", "", "Shows the version."},
        });
}

std::optional<std::int64_t> time(const CommandOptions& command, const char* name, std::string& error)
{
    if (!command.isSet(name))
        return std::nullopt;
    const auto ms = UtcTime::parse(command.value(name));
    if (!ms)
        error = std::string("--") + name + " takes a UTC time such as 2026-12-08T18:00, not \"" +
            command.value(name) + "\"";
    return ms;
}

} // namespace

std::string ReportOptions::usage()
{
    return commandOptions().usage();
}

std::optional<std::int64_t> ReportOptions::length(const std::string& text)
{
    if (text.size() < 2 || text.size() > 6 || text[0] < '1' || text[0] > '9')
        return std::nullopt;
    const char unit = text.back();
    const std::string digits = text.substr(0, text.size() - 1);
    if (digits.find_first_not_of("0123456789") != std::string::npos || (unit != 'h' && unit != 'd'))
        return std::nullopt;
    const std::int64_t n = std::stoll(digits);
    return n * (unit == 'h' ? 3600 * 1000LL : 24 * 3600 * 1000LL);
}

std::optional<ReportOptions> ReportOptions::parse(
    int argc, char** argv, std::int64_t nowMs, std::string& error)
{
    CommandOptions command = commandOptions();
    if (!command.parse(argc, argv)) {
        error = command.error();
        return std::nullopt;
    }
    ReportOptions options;
    if (command.isSet("help") || command.isSet("version")) {
        std::fputs(
            (command.isSet("help") ? command.usage() : std::string("kovreport 1.0.0\n")).c_str(), stdout);
        options.helpShown = true;
        return options;
    }
    if (!command.rest().empty()) {
        error = "kovreport takes no words besides its options: \"" + command.rest().front() + "\"";
        return std::nullopt;
    }
    if (command.isSet("history") == command.isSet("archive")) {
        error = "name one source: --history FILE or --archive ADDRESS";
        return std::nullopt;
    }
    if (command.isSet("history")) {
        options.history = command.value("history");
        if (options.history.empty()) {
            error = "--history names no file";
            return std::nullopt;
        }
    } else {
        options.archive = History::ArchiveAddress::parse(command.value("archive"), error);
        if (!options.archive)
            return std::nullopt;
    }
    options.instrument = command.value("instrument", options.instrument);
    if (!InstrumentName::valid(options.instrument)) {
        error = std::string("--instrument must be ") + InstrumentName::rule;
        return std::nullopt;
    }
    options.out = command.value("out");
    if (options.out.empty()) {
        error = "--out FILE.pdf is missing";
        return std::nullopt;
    }
    options.csv = command.value("csv");
    if (command.isSet("csv") && options.csv.empty()) {
        error = "--csv names no file";
        return std::nullopt;
    }

    const auto from = time(command, "from", error);
    if (!error.empty())
        return std::nullopt;
    const auto to = time(command, "to", error);
    if (!error.empty())
        return std::nullopt;
    std::optional<std::int64_t> last;
    if (command.isSet("last")) {
        last = length(command.value("last"));
        if (!last || *last > longestMs) {
            error = "--last takes a length such as 8h, 24h or 7d (at most 366d), not \"" +
                command.value("last") + "\"";
            return std::nullopt;
        }
        if (from && to) {
            error = "--last goes with --from or --to, not with both";
            return std::nullopt;
        }
    }
    const std::int64_t lengthMs = last.value_or(defaultLengthMs);
    if (from && to) {
        options.fromMs = *from;
        options.toMs = *to;
    } else if (from) {
        options.fromMs = *from;
        options.toMs = *from + lengthMs;
    } else {
        options.toMs = to.value_or(nowMs);
        options.fromMs = options.toMs - lengthMs;
    }
    if (options.fromMs >= options.toMs) {
        error = "the range ends before it starts: --from must come before --to";
        return std::nullopt;
    }
    if (options.toMs - options.fromMs > longestMs) {
        error = "the range is longer than 366 days";
        return std::nullopt;
    }
    return options;
}

} // namespace Report
