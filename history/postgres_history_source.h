#pragma once

#include "archive_address.h"
#include "sqlite_history_source.h"

#include <string>

namespace History {

// Reads the shared archive the recorders write: the same tables and
// queries as the local history file, through PostgreSQL's driver (or
// SQLite's for a "sqlite:" archive). A PostgreSQL archive holds many
// instruments: every question asks for `instrument`'s rows only. Created,
// used and destroyed on one reader thread, never the GUI thread.
class PostgresHistorySource : public SqliteHistorySource {
public:
    PostgresHistorySource(const ArchiveAddress& address, const std::string& instrument);

    // Connects now; false with lastError() when the archive does not answer.
    bool reachable() { return ready(); }

private:
    PostgresHistorySource(
        const ArchiveAddress& address, const std::string& instrument, const QString& connection);
};

} // namespace History
