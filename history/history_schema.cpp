#include "history_schema.h"

namespace HistorySchema {

std::vector<std::string> createStatements(Dialect dialect)
{
    // SQLite keeps a keyed table in its key's order without a second index.
    const std::string keyed = dialect == Dialect::Sqlite ? ") WITHOUT ROWID" : ")";
    return {
        "CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL PRIMARY KEY)",
        // Two readings of one housing in the same millisecond: the later
        // one is stored one millisecond on.
        "CREATE TABLE IF NOT EXISTS readings ("
        "housing SMALLINT NOT NULL, arrival_ms BIGINT NOT NULL, reading_time BIGINT NOT NULL, "
        "temperature DOUBLE PRECISION, humidity DOUBLE PRECISION, water SMALLINT NOT NULL, "
        "PRIMARY KEY (housing, arrival_ms)" +
            keyed,
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
        "CREATE TABLE IF NOT EXISTS alarm_records ("
        "time_ms BIGINT NOT NULL, seq INTEGER NOT NULL, action SMALLINT NOT NULL, "
        "point TEXT NOT NULL, user_name TEXT NOT NULL, PRIMARY KEY (time_ms, seq)" +
            keyed,
    };
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
