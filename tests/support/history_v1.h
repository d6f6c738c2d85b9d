#pragma once

#include <string>
#include <vector>

// Stores as older programs made them, for the tests that bring an old file
// or archive up to date.

// The first version: readings and messages, readings keyed by housing and
// millisecond.
inline std::vector<std::string> historyV1Statements(bool sqlite)
{
    const std::string keyed = sqlite ? ") WITHOUT ROWID" : ")";
    return {"CREATE TABLE schema_version (version INTEGER NOT NULL PRIMARY KEY)",
        "INSERT INTO schema_version (version) VALUES (1)",
        "CREATE TABLE readings (housing SMALLINT NOT NULL, arrival_ms BIGINT NOT NULL, "
        "reading_time BIGINT NOT NULL, temperature DOUBLE PRECISION, humidity DOUBLE PRECISION, "
        "water SMALLINT NOT NULL, PRIMARY KEY (housing, arrival_ms)" +
            keyed,
        "CREATE TABLE messages (arrival_ms BIGINT NOT NULL, seq INTEGER NOT NULL, priority SMALLINT NOT "
        "NULL, "
        "instrument_time BIGINT NOT NULL, message_text TEXT NOT NULL, PRIMARY KEY (arrival_ms, seq)" +
            keyed,
        // A burst as version 1 stored it: the second reading moved on by one.
        "INSERT INTO readings VALUES (0, 1700000040000, 1700000040, 20.5, 40, 0), "
        "(0, 1700000040001, 1700000040, 21.5, 41, 0), (1, 1700000040000, 1700000040, 5, NULL, 1)",
        "INSERT INTO messages VALUES (1700000040000, 0, 2, 1700000040, 'Water in the spectrograph housing')"};
}

// Version 3 of the archive (PostgreSQL), the last of one instrument: every
// table, with `rows` rows in each.
inline std::vector<std::string> archiveV3Statements(int rows)
{
    const std::string series = " FROM generate_series(0, " + std::to_string(rows - 1) + ") AS i";
    return {"CREATE TABLE schema_version (version INTEGER NOT NULL PRIMARY KEY)",
        "INSERT INTO schema_version (version) VALUES (3)",
        "CREATE TABLE readings (housing SMALLINT NOT NULL, arrival_ms BIGINT NOT NULL, "
        "seq INTEGER NOT NULL DEFAULT 0, reading_time BIGINT NOT NULL, temperature DOUBLE PRECISION, "
        "humidity DOUBLE PRECISION, water SMALLINT NOT NULL, PRIMARY KEY (housing, arrival_ms, seq))",
        "CREATE TABLE rollups (housing SMALLINT NOT NULL, minute_ms BIGINT NOT NULL, "
        "min_temperature DOUBLE PRECISION, max_temperature DOUBLE PRECISION, "
        "mean_temperature DOUBLE PRECISION, min_humidity DOUBLE PRECISION, "
        "max_humidity DOUBLE PRECISION, mean_humidity DOUBLE PRECISION, "
        "water SMALLINT NOT NULL, reading_count INTEGER NOT NULL, PRIMARY KEY (housing, minute_ms))",
        "CREATE TABLE messages (arrival_ms BIGINT NOT NULL, seq INTEGER NOT NULL, priority SMALLINT NOT "
        "NULL, instrument_time BIGINT NOT NULL, message_text TEXT NOT NULL, PRIMARY KEY (arrival_ms, seq))",
        "CREATE TABLE setpoint_changes (time_ms BIGINT NOT NULL, seq INTEGER NOT NULL, "
        "housing SMALLINT NOT NULL, setpoint SMALLINT NOT NULL, old_value DOUBLE PRECISION NOT NULL, "
        "new_value DOUBLE PRECISION NOT NULL, PRIMARY KEY (time_ms, seq))",
        "CREATE TABLE link_changes (time_ms BIGINT NOT NULL, seq INTEGER NOT NULL, kind SMALLINT NOT NULL, "
        "reason TEXT NOT NULL, PRIMARY KEY (time_ms, seq))",
        "CREATE TABLE alarm_records (time_ms BIGINT NOT NULL, seq INTEGER NOT NULL, action SMALLINT NOT "
        "NULL, point TEXT NOT NULL, user_name TEXT NOT NULL, point_key TEXT NOT NULL DEFAULT '', "
        "comment TEXT NOT NULL DEFAULT '', until_ms BIGINT NOT NULL DEFAULT 0, value DOUBLE PRECISION, "
        "setpoint DOUBLE PRECISION, PRIMARY KEY (time_ms, seq))",
        // Readings a minute apart, so that each has its own rollup.
        "INSERT INTO readings SELECT 0, 1700000040000 + i * 60000, 0, 1700000040 + i * 60, 20 + i, 40, 0" +
            series,
        "INSERT INTO rollups SELECT 0, 1700000040000 / 60000 * 60000 + i * 60000, 20 + i, 20 + i, 20 + i, "
        "40, "
        "40, 40, 0, 1" +
            series,
        "INSERT INTO messages SELECT 1700000040000 + i * 60000, 0, 2, 1700000040 + i * 60, 'message ' || i" +
            series,
        "INSERT INTO setpoint_changes SELECT 1700000040000 + i * 60000, 0, 0, 0, 30, 31" + series,
        "INSERT INTO link_changes SELECT 1700000040000 + i * 60000, 0, 1, 'lost'" + series,
        "INSERT INTO alarm_records SELECT 1700000040000 + i * 60000, 0, 0, 'Electronics temperature', '', "
        "'electronics.temperature', '', 0, 33, 32" +
            series};
}
