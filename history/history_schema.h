#pragma once

#include <string>
#include <vector>

// The tables of the history, in SQL that SQLite and PostgreSQL both take:
// plain types, a unique key on every row. Times are UTC milliseconds; a
// value that was no data is NULL. Rows that share a time are told apart by
// `seq`, counted from 0 by the writer within one millisecond.
namespace HistorySchema {

// The version this program writes. A store with a higher one is read only.
inline constexpr int version = 1;

enum class Dialect {
    Sqlite,
    Postgres
};

// CREATE TABLE IF NOT EXISTS ... for every table (the version table
// included, left empty), in order.
std::vector<std::string> createStatements(Dialect dialect);

// Rolls up one housing's readings of [from, to) into per-minute rows
// (parameters: housing, from, to). Recomputed from the raw rows, so a minute
// rolled up twice (after a restart, or by two writers) is still right.
extern const char* const rollUpStatement;

} // namespace HistorySchema
