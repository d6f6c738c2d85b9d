#pragma once

#include "history_batch.h"

#include <string>

namespace Recorder {

// Rows kept on disk by the recorder: what it held when it stopped (sent
// first at the next start) and what the archive refused (set aside for a
// person to look at, and to send again by moving the lines into the spool).
// A text file, one row a line, the fields separated by tabs, texts with
// \\, \t, \n and \r escaped; lines starting with '#' are comments:
//   R housing arrival_ms reading_time temperature humidity water
//   M arrival_ms priority instrument_time text
//   L time_ms kind reason
//   S housing setpoint old new time_ms
//   A time_ms action point user
// Every row keeps its key, so a row sent twice is stored once.
class SpoolFile {
public:
    static constexpr const char* header = "# kovrecorder rows 1";

    static std::string line(const History::Reading& reading);
    static std::string line(const History::Event& event);
    // Appends the row a line holds to `rows`; false when it holds none.
    static bool read(const std::string& line, History::Batch& rows);

    // Replaces `path` by the rows: written beside it, flushed and renamed,
    // so the file is whole or the old one. Mode 0600.
    static bool save(const std::string& path, const History::Batch& rows, std::string& error);
    // Adds a comment line and the rows at the end of `path` (created 0600).
    static bool append(
        const std::string& path, const std::string& comment, const History::Batch& rows, std::string& error);

    struct Loaded {
        bool found = false; // false: there is no such file
        History::Batch rows;
        std::size_t unreadable = 0; // lines that were neither rows nor comments
    };
    // False with `error` set when the file is there but cannot be read.
    static bool load(const std::string& path, Loaded& loaded, std::string& error);
};

} // namespace Recorder
