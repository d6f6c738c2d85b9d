#pragma once

#include "archive_address.h"
#include "sqlite_history_source.h"

namespace History {

// Reads the shared archive the recorders write: the same tables and
// queries as the local history file, through PostgreSQL's driver (or
// SQLite's for a "sqlite:" archive). Created, used and destroyed on one
// reader thread, never the GUI thread.
class PostgresHistorySource : public SqliteHistorySource {
public:
    explicit PostgresHistorySource(const ArchiveAddress& address);

    // Connects now; false with lastError() when the archive does not answer.
    bool reachable() { return ready(); }

private:
    PostgresHistorySource(const ArchiveAddress& address, const QString& connection);
};

} // namespace History
