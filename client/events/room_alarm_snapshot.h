#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One row of alarm_state: an alarm point of the instrument as its alarm
// service keeps it for the whole control room. Times are UTC milliseconds.
struct RoomAlarmRow {
    std::string pointKey; // "electronics.water"
    std::string point;    // "Electronics housing water sensor"
    std::string state;    // the service's words: "unacknowledged", "shelved, chattering", ...
    int level = 0;        // 0 none, 1 warning, 2 alarm
    bool active = false;
    bool acknowledged = true;
    std::int64_t sinceMs = 0;
    std::int64_t raisedMs = 0;
    std::int64_t shelvedUntilMs = 0; // 0: not shelved
    std::optional<double> value;
    std::optional<double> setpoint;
    std::string actedBy; // who last acknowledged or shelved it
    std::int64_t actedMs = 0;
    std::string comment;
};

// What a console read of the room's alarms at one moment.
struct RoomAlarmSnapshot {
    bool reachable = false;
    std::string problem; // why the archive did not answer
    std::vector<RoomAlarmRow> rows;
    std::string service; // "kovrecorder on HOST, process PID"; empty: no service ever
    // The heartbeat's age by the database's clock when read (so that a
    // console's own clock does not count); none without a service row.
    std::optional<std::int64_t> heartbeatAgeMs;
};

// An acknowledge, shelve or unshelve asked on a console, for the service.
struct RoomAlarmAction {
    std::string pointKey; // or "all" with "ack"
    std::string action;   // "ack", "shelve", "unshelve"
    int minutes = 0;
    std::string comment;
};

// How the archive took an action: queued, or refused and why.
struct RoomActionAnswer {
    enum class Outcome {
        Queued,
        NoRight,     // the archive's role may not call kov_alarm_action
        Unreachable, // no connection to the archive
        Failed,      // any other refusal (an unknown point, ...)
    };
    Outcome outcome = Outcome::Queued;
    RoomAlarmAction action;
    std::string role; // the archive's role the console logs in as
    std::string why;  // the server's text, never a password
};
