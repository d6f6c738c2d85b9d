#pragma once

#include <set>
#include <string>
#include <vector>

class QSqlDatabase;
class QSqlError;

// The tables of the history, in SQL that SQLite and PostgreSQL both take:
// plain types, a unique key on every row. Times are UTC milliseconds as the
// clock gave them, never moved; a value that was no data is NULL. Rows that
// share a time are told apart by `seq`, counted from 0.
namespace HistorySchema {

// The version this program writes. A store with a higher one is read only.
// 1: readings keyed (housing, arrival_ms); 2: (housing, arrival_ms, seq);
// 3: alarm records with point key, comment, shelf end, value and setpoint;
// 4: in PostgreSQL (the archive), the instrument leads every row's key.
inline constexpr int version = 4;

enum class Dialect {
    Sqlite,
    Postgres
};

// CREATE TABLE IF NOT EXISTS ... for every table (the version table
// included, left empty), in order. PostgreSQL's tables, the archive's, lead
// with `instrument`.
std::vector<std::string> createStatements(Dialect dialect);

// A column added to a table's key. The rows already there take the
// column's DEFAULT; so does a row inserted by a program that does not know
// the column yet.
struct KeyColumn {
    const char* table;
    // The table's columns afterwards, as CREATE TABLE lists them. The key's
    // columns come first and in the key's order: SQLite 3.40's quick_check,
    // which opens every file, reports NULLs that are not there in a WITHOUT
    // ROWID table whose key is not its leading columns.
    const char* columns;
    const char* copied; // the columns there before, by name
    const char* column; // the new one, e.g. "seq INTEGER NOT NULL DEFAULT 0"
    const char* key;    // the key afterwards
};

// The statements that make the change in place, every row kept: SQLite
// copies the table into one of the new shape (a key cannot be altered
// there); PostgreSQL alters it, which keeps its grants (and puts the new
// column last, which no statement of ours minds: they name their columns).
std::vector<std::string> addKeyColumn(Dialect dialect, const KeyColumn& change);

// The statements that bring a store of version `from` to `version`: 0 is
// a new store. `tables` are those the store has: a table it lacks is
// created whole instead of changed. Rows of an archive older than 4 become
// `instrument`'s. Run them in the transaction that read `from`.
std::vector<std::string> upgradeStatements(
    Dialect dialect, int from, const std::set<std::string>& tables, const std::string& instrument = {});

enum class Prepared {
    Ready,
    Newer, // a newer program's store: nothing done
    Failed
};

// Inside the caller's transaction, which must already hold the store for
// writing: creates the version table, reads the version and, unless it is
// newer, upgrades the store and creates what is missing. `from` answers the
// version found (0 for a new store); on failure `error` and `failed` (the
// statement) say why.
Prepared prepare(QSqlDatabase& db, Dialect dialect, int& from, QSqlError& error, std::string& failed,
    const std::string& instrument = {});

// Rolls up one housing's readings of [from, to) into per-minute rows
// (parameters: the instrument in the archive, housing, from, to).
// Recomputed from the raw rows, so a minute rolled up twice (after a
// restart, or by two writers) is still right.
std::string rollUpStatement(Dialect dialect);

} // namespace HistorySchema
