#include "history_schema.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace HistorySchema {

namespace {

// The readings' columns from version 2 on.
constexpr const char* readingColumns =
    "housing SMALLINT NOT NULL, arrival_ms BIGINT NOT NULL, seq INTEGER NOT NULL DEFAULT 0, "
    "reading_time BIGINT NOT NULL, temperature DOUBLE PRECISION, humidity DOUBLE PRECISION, "
    "water SMALLINT NOT NULL";

// The columns an alarm record gained with version 3.
constexpr const char* alarmColumnsAdded[] = {"point_key TEXT NOT NULL DEFAULT ''",
    "comment TEXT NOT NULL DEFAULT ''", "until_ms BIGINT NOT NULL DEFAULT 0", "value DOUBLE PRECISION",
    "setpoint DOUBLE PRECISION"};

// The archive's tables hold many instruments: each row names its own. A
// local history belongs to one instrument and goes without.
constexpr const char* instrumentColumn = "instrument TEXT NOT NULL DEFAULT ''";

// The tables that carry the instrument in the archive.
constexpr const char* instrumentTables[] = {
    "readings", "rollups", "messages", "setpoint_changes", "link_changes", "alarm_records"};

// A column added to a table, outside its key: (table, column definition).
struct AddedColumn {
    const char* table;
    const char* column;
};

// What each version changed, in order. A change of a key goes here as a
// KeyColumn, a column outside the key as an AddedColumn; a new table needs
// no entry (createStatements makes it).
struct Upgrade {
    int to;
    std::vector<KeyColumn> keyColumns;
    std::vector<AddedColumn> addedColumns;
    bool archiveOnly = false; // PostgreSQL's tables only
};

const Upgrade upgrades[] = {
    // Readings of one millisecond: a sequence, instead of moving the time.
    {2,
        {{"readings", readingColumns, "housing, arrival_ms, reading_time, temperature, humidity, water",
            "seq INTEGER NOT NULL DEFAULT 0", "housing, arrival_ms, seq"}},
        {}},
    // Alarm records with the point's key, the person's comment, the end of a
    // shelf, and the value and setpoint a raise or clear was judged by.
    {3, {},
        {{"alarm_records", alarmColumnsAdded[0]}, {"alarm_records", alarmColumnsAdded[1]},
            {"alarm_records", alarmColumnsAdded[2]}, {"alarm_records", alarmColumnsAdded[3]},
            {"alarm_records", alarmColumnsAdded[4]}}},
    // Many instruments on one archive: the instrument leads every key. The
    // rows there before belong to the instrument named by the recorder
    // that upgrades (see upgradeStatements).
    {4,
        {{"readings", "", "", instrumentColumn, "instrument, housing, arrival_ms, seq"},
            {"rollups", "", "", instrumentColumn, "instrument, housing, minute_ms"},
            {"messages", "", "", instrumentColumn, "instrument, arrival_ms, seq"},
            {"setpoint_changes", "", "", instrumentColumn, "instrument, time_ms, seq"},
            {"link_changes", "", "", instrumentColumn, "instrument, time_ms, seq"},
            {"alarm_records", "", "", instrumentColumn, "instrument, time_ms, seq"}},
        {}, true},
};

// "instrument, " before a key, and the column before the others, in the
// archive's tables.
std::string keyed(Dialect dialect, const std::string& key)
{
    return dialect == Dialect::Postgres ? "instrument, " + key : key;
}

std::string columns(Dialect dialect, const std::string& rest)
{
    return dialect == Dialect::Postgres ? std::string(instrumentColumn) + ", " + rest : rest;
}

std::string quoted(const std::string& text)
{
    std::string out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'')
            out += c;
    }
    return out + "'";
}

} // namespace

std::vector<std::string> createStatements(Dialect dialect)
{
    // SQLite keeps a keyed table in its key's order without a second index.
    const std::string end = dialect == Dialect::Sqlite ? ")) WITHOUT ROWID" : "))";
    auto table = [&](const char* name, const std::string& rest, const char* key) {
        return std::string("CREATE TABLE IF NOT EXISTS ") + name + " (" + columns(dialect, rest) +
            ", PRIMARY KEY (" + keyed(dialect, key) + end;
    };
    return {
        "CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL PRIMARY KEY)",
        table("readings", readingColumns, "housing, arrival_ms, seq"),
        // One row per housing and minute of arrival (minute_ms its start).
        table("rollups",
            "housing SMALLINT NOT NULL, minute_ms BIGINT NOT NULL, "
            "min_temperature DOUBLE PRECISION, max_temperature DOUBLE PRECISION, "
            "mean_temperature DOUBLE PRECISION, min_humidity DOUBLE PRECISION, "
            "max_humidity DOUBLE PRECISION, mean_humidity DOUBLE PRECISION, "
            "water SMALLINT NOT NULL, reading_count INTEGER NOT NULL",
            "housing, minute_ms"),
        table("messages",
            "arrival_ms BIGINT NOT NULL, seq INTEGER NOT NULL, priority SMALLINT NOT NULL, "
            "instrument_time BIGINT NOT NULL, message_text TEXT NOT NULL",
            "arrival_ms, seq"),
        // The setpoints in force at each start are stored as changes whose
        // old and new values are equal.
        table("setpoint_changes",
            "time_ms BIGINT NOT NULL, seq INTEGER NOT NULL, housing SMALLINT NOT NULL, "
            "setpoint SMALLINT NOT NULL, old_value DOUBLE PRECISION NOT NULL, "
            "new_value DOUBLE PRECISION NOT NULL",
            "time_ms, seq"),
        table("link_changes",
            "time_ms BIGINT NOT NULL, seq INTEGER NOT NULL, kind SMALLINT NOT NULL, reason TEXT NOT NULL",
            "time_ms, seq"),
        table("alarm_records",
            std::string("time_ms BIGINT NOT NULL, seq INTEGER NOT NULL, action SMALLINT NOT NULL, "
                        "point TEXT NOT NULL, user_name TEXT NOT NULL, ") +
                alarmColumnsAdded[0] + ", " + alarmColumnsAdded[1] + ", " + alarmColumnsAdded[2] + ", " +
                alarmColumnsAdded[3] + ", " + alarmColumnsAdded[4],
            "time_ms, seq"),
    };
}

std::vector<std::string> addKeyColumn(Dialect dialect, const KeyColumn& change)
{
    const std::string table = change.table;
    if (dialect == Dialect::Postgres)
        return {"ALTER TABLE " + table + " ADD COLUMN " + change.column,
            "ALTER TABLE " + table + " DROP CONSTRAINT " + table + "_pkey",
            "ALTER TABLE " + table + " ADD PRIMARY KEY (" + change.key + ")"};
    const std::string copy = table + "_upgrade";
    const std::string copied = change.copied;
    return {
        "CREATE TABLE " + copy + " (" + change.columns + ", PRIMARY KEY (" + change.key + ")) WITHOUT ROWID",
        "INSERT INTO " + copy + " (" + copied + ") SELECT " + copied + " FROM " + table,
        "DROP TABLE " + table, "ALTER TABLE " + copy + " RENAME TO " + table};
}

std::vector<std::string> upgradeStatements(
    Dialect dialect, int from, const std::set<std::string>& tables, const std::string& instrument)
{
    std::vector<std::string> statements;
    if (from > 0) {
        for (const Upgrade& upgrade : upgrades) {
            if (upgrade.to <= from || (upgrade.archiveOnly && dialect != Dialect::Postgres))
                continue;
            for (const KeyColumn& change : upgrade.keyColumns)
                if (tables.count(change.table))
                    for (std::string& statement : addKeyColumn(dialect, change))
                        statements.push_back(std::move(statement));
            for (const AddedColumn& added : upgrade.addedColumns)
                if (tables.count(added.table))
                    statements.push_back(
                        std::string("ALTER TABLE ") + added.table + " ADD COLUMN " + added.column);
        }
        // The rows of a single-instrument archive are the upgrading one's.
        if (from < 4 && dialect == Dialect::Postgres)
            for (const char* table : instrumentTables)
                if (tables.count(table))
                    statements.push_back(std::string("UPDATE ") + table +
                        " SET instrument = " + quoted(instrument) + " WHERE instrument = ''");
    }
    for (std::string& statement : createStatements(dialect))
        statements.push_back(std::move(statement));
    // One row per version the store has had; max(version) is the one.
    if (from < version)
        statements.push_back("INSERT INTO schema_version (version) VALUES (" + std::to_string(version) + ")");
    return statements;
}

Prepared prepare(QSqlDatabase& db, Dialect dialect, int& from, QSqlError& error, std::string& failed,
    const std::string& instrument)
{
    QSqlQuery query(db);
    auto fail = [&](const std::string& statement) {
        error = query.lastError();
        failed = statement;
        return Prepared::Failed;
    };
    const std::string createVersion = createStatements(dialect).front();
    if (!query.exec(QString::fromStdString(createVersion)))
        return fail(createVersion);
    const char* readVersion = "SELECT max(version) FROM schema_version";
    if (!query.exec(QString::fromLatin1(readVersion)) || !query.next())
        return fail(readVersion);
    from = query.value(0).isNull() ? 0 : query.value(0).toInt();
    query.finish();
    if (from > version)
        return Prepared::Newer;
    const char* listTables = dialect == Dialect::Sqlite
        ? "SELECT name FROM sqlite_master WHERE type = 'table'"
        : "SELECT tablename FROM pg_tables WHERE schemaname = current_schema()";
    if (!query.exec(QString::fromLatin1(listTables)))
        return fail(listTables);
    std::set<std::string> tables;
    while (query.next())
        tables.insert(query.value(0).toString().toStdString());
    query.finish();
    for (const std::string& statement : upgradeStatements(dialect, from, tables, instrument))
        if (!query.exec(QString::fromStdString(statement)))
            return fail(statement);
    return Prepared::Ready;
}

std::string rollUpStatement(Dialect dialect)
{
    const bool archive = dialect == Dialect::Postgres;
    const std::string instrument = archive ? "instrument, " : "";
    return "INSERT INTO rollups (" + instrument +
        "housing, minute_ms, min_temperature, max_temperature, mean_temperature, "
        "min_humidity, max_humidity, mean_humidity, water, reading_count) "
        "SELECT " +
        instrument +
        "housing, arrival_ms / 60000 * 60000, min(temperature), max(temperature), "
        "avg(temperature), min(humidity), max(humidity), avg(humidity), max(water), count(*) "
        "FROM readings WHERE " +
        (archive ? "instrument = ? AND " : "") +
        "housing = ? AND arrival_ms >= ? AND arrival_ms < ? "
        "GROUP BY " +
        instrument + "housing, arrival_ms / 60000 * 60000 ON CONFLICT (" + instrument +
        "housing, minute_ms) DO UPDATE SET min_temperature = excluded.min_temperature, "
        "max_temperature = excluded.max_temperature, mean_temperature = excluded.mean_temperature, "
        "min_humidity = excluded.min_humidity, max_humidity = excluded.max_humidity, "
        "mean_humidity = excluded.mean_humidity, water = excluded.water, reading_count = "
        "excluded.reading_count";
}

} // namespace HistorySchema
