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
};

} // namespace

std::vector<std::string> createStatements(Dialect dialect)
{
    // SQLite keeps a keyed table in its key's order without a second index.
    const std::string keyed = dialect == Dialect::Sqlite ? ") WITHOUT ROWID" : ")";
    return {
        "CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL PRIMARY KEY)",
        std::string("CREATE TABLE IF NOT EXISTS readings (") + readingColumns +
            ", PRIMARY KEY (housing, arrival_ms, seq)" + keyed,
        // One row per housing and minute of arrival (minute_ms its start).
        "CREATE TABLE IF NOT EXISTS rollups ("
        "housing SMALLINT NOT NULL, minute_ms BIGINT NOT NULL, "
        "min_temperature DOUBLE PRECISION, max_temperature DOUBLE PRECISION, "
        "mean_temperature DOUBLE PRECISION, min_humidity DOUBLE PRECISION, "
        "max_humidity DOUBLE PRECISION, mean_humidity DOUBLE PRECISION, "
        "water SMALLINT NOT NULL, reading_count INTEGER NOT NULL, "
        "PRIMARY KEY (housing, minute_ms)" +
            keyed,
        "CREATE TABLE IF NOT EXISTS messages ("
        "arrival_ms BIGINT NOT NULL, seq INTEGER NOT NULL, priority SMALLINT NOT NULL, "
        "instrument_time BIGINT NOT NULL, message_text TEXT NOT NULL, "
        "PRIMARY KEY (arrival_ms, seq)" +
            keyed,
        // The setpoints in force at each start are stored as changes whose
        // old and new values are equal.
        "CREATE TABLE IF NOT EXISTS setpoint_changes ("
        "time_ms BIGINT NOT NULL, seq INTEGER NOT NULL, housing SMALLINT NOT NULL, "
        "setpoint SMALLINT NOT NULL, old_value DOUBLE PRECISION NOT NULL, "
        "new_value DOUBLE PRECISION NOT NULL, PRIMARY KEY (time_ms, seq)" +
            keyed,
        "CREATE TABLE IF NOT EXISTS link_changes ("
        "time_ms BIGINT NOT NULL, seq INTEGER NOT NULL, kind SMALLINT NOT NULL, "
        "reason TEXT NOT NULL, PRIMARY KEY (time_ms, seq)" +
            keyed,
        std::string("CREATE TABLE IF NOT EXISTS alarm_records ("
                    "time_ms BIGINT NOT NULL, seq INTEGER NOT NULL, action SMALLINT NOT NULL, "
                    "point TEXT NOT NULL, user_name TEXT NOT NULL, ") +
            alarmColumnsAdded[0] + ", " + alarmColumnsAdded[1] + ", " + alarmColumnsAdded[2] + ", " +
            alarmColumnsAdded[3] + ", " + alarmColumnsAdded[4] + ", PRIMARY KEY (time_ms, seq)" + keyed,
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

std::vector<std::string> upgradeStatements(Dialect dialect, int from, const std::set<std::string>& tables)
{
    std::vector<std::string> statements;
    if (from > 0) {
        for (const Upgrade& upgrade : upgrades) {
            if (upgrade.to <= from)
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
    }
    for (std::string& statement : createStatements(dialect))
        statements.push_back(std::move(statement));
    // One row per version the store has had; max(version) is the one.
    if (from < version)
        statements.push_back("INSERT INTO schema_version (version) VALUES (" + std::to_string(version) + ")");
    return statements;
}

Prepared prepare(QSqlDatabase& db, Dialect dialect, int& from, QSqlError& error, std::string& failed)
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
    for (const std::string& statement : upgradeStatements(dialect, from, tables))
        if (!query.exec(QString::fromStdString(statement)))
            return fail(statement);
    return Prepared::Ready;
}

const char* const rollUpStatement =
    "INSERT INTO rollups (housing, minute_ms, min_temperature, max_temperature, mean_temperature, "
    "min_humidity, max_humidity, mean_humidity, water, reading_count) "
    "SELECT housing, arrival_ms / 60000 * 60000, min(temperature), max(temperature), "
    "avg(temperature), min(humidity), max(humidity), avg(humidity), max(water), count(*) "
    "FROM readings WHERE housing = ? AND arrival_ms >= ? AND arrival_ms < ? "
    "GROUP BY housing, arrival_ms / 60000 * 60000 "
    "ON CONFLICT (housing, minute_ms) DO UPDATE SET min_temperature = excluded.min_temperature, "
    "max_temperature = excluded.max_temperature, mean_temperature = excluded.mean_temperature, "
    "min_humidity = excluded.min_humidity, max_humidity = excluded.max_humidity, "
    "mean_humidity = excluded.mean_humidity, water = excluded.water, reading_count = excluded.reading_count";

} // namespace HistorySchema
