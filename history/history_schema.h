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

} // namespace HistorySchema
