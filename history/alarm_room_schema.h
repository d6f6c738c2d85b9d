#pragma once

#include <string>
#include <vector>

// What a control room's consoles share in the archive (PostgreSQL only):
// the current state of each alarm point of each instrument, which recorder
// is each instrument's alarm service and when it was last heard, and the
// actions people ask of it. Consoles and kovalarms never write the state:
// they call kov_alarm_action(), which queues the action for the service
// and wakes it; the service applies it and tells every console.
//
// Channels (LISTEN/NOTIFY, the payload is the instrument's name):
//   kov_alarms         the service changed a state or wrote its heartbeat
//   kov_alarm_actions  an action was queued
namespace AlarmRoomSchema {

inline constexpr const char* stateChannel = "kov_alarms";
inline constexpr const char* actionChannel = "kov_alarm_actions";

// Every action kov_alarm_action takes: "ack", "shelve", "unshelve"; the
// point "all" acknowledges every point of the instrument.
inline constexpr const char* acknowledge = "ack";
inline constexpr const char* shelve = "shelve";
inline constexpr const char* unshelve = "unshelve";
inline constexpr const char* allPoints = "all";

// SQLSTATE of kov_alarm_action's refusals (a role without EXECUTE gets
// 42501, insufficient_privilege, from the server itself).
inline constexpr const char* unknownPointState = "P0002";
inline constexpr const char* badActionState = "22023";

// The service's advisory lock, held by its connection for as long as it is
// the instrument's service: pg_try_advisory_lock(lockClass, hashtext(name)).
inline constexpr int lockClass = 4711181;

// The tables and the function, idempotent; run by a recorder (the owner of
// the archive's tables) under the archive's creation lock.
std::vector<std::string> createStatements();

} // namespace AlarmRoomSchema
