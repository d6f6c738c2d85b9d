#pragma once

#include <string>
#include <vector>

// The history's readings and messages as the first version's programs made
// them (readings keyed by housing and millisecond), for the tests that bring
// an old file or archive up to date.
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
