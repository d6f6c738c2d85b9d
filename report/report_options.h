#pragma once

#include "archive_address.h"

#include <cstdint>
#include <optional>
#include <string>

namespace Report {

// kovreport's exit statuses.
enum Status {
    Written = 0,
    BadUse = 1,
    SourceUnreadable = 2,
    OutputUnwritable = 3
};

// kovreport's command line:
//   (--history FILE | --archive ADDRESS [--instrument NAME])
//   [--from UTC] [--to UTC | --last 8h|24h|7d] --out FILE.pdf [--csv FILE]
// The range is 24 h long unless --from and --to, or --last, say otherwise;
// it ends now unless --to or --from place it.
struct ReportOptions {
    static constexpr std::int64_t defaultLengthMs = 24 * 3600 * 1000LL;
    static constexpr std::int64_t longestMs = 366 * 24 * 3600 * 1000LL;

    std::string history;                            // the history file, or
    std::optional<History::ArchiveAddress> archive; // the archive
    std::string instrument = "KOV";
    std::int64_t fromMs = 0;
    std::int64_t toMs = 0;
    std::string out;
    std::string csv;
    bool helpShown = false; // --help or --version was answered

    // `nowMs`: the UTC time the range ends at by default. Empty, with
    // `error` set, for bad use.
    static std::optional<ReportOptions> parse(int argc, char** argv, std::int64_t nowMs, std::string& error);
    static std::string usage();
    // "8h", "24h", "7d", ... in milliseconds; none for anything else.
    static std::optional<std::int64_t> length(const std::string& text);
};

} // namespace Report
