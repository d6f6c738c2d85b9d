#include "alarm_room_schema.h"

namespace AlarmRoomSchema {

std::vector<std::string> createStatements()
{
    return {
        // One row per point, written by the service only. `state` is the
        // engine's text for it ("normal", "unacknowledged", ...); `acted_by`
        // and `acted_ms` whoever last acknowledged or shelved it.
        "CREATE TABLE IF NOT EXISTS alarm_state ("
        "instrument TEXT NOT NULL, point_key TEXT NOT NULL, point TEXT NOT NULL, "
        "state TEXT NOT NULL, level SMALLINT NOT NULL DEFAULT 0, active BOOLEAN NOT NULL DEFAULT false, "
        "acknowledged BOOLEAN NOT NULL DEFAULT true, since_ms BIGINT NOT NULL, "
        "raised_ms BIGINT NOT NULL DEFAULT 0, shelved_until_ms BIGINT NOT NULL DEFAULT 0, "
        "value DOUBLE PRECISION, setpoint DOUBLE PRECISION, acted_by TEXT NOT NULL DEFAULT '', "
        "acted_ms BIGINT NOT NULL DEFAULT 0, comment TEXT NOT NULL DEFAULT '', "
        "updated_ms BIGINT NOT NULL, PRIMARY KEY (instrument, point_key))",
        // The recorder that is the instrument's alarm service, and its
        // heartbeat (every 10 s).
        "CREATE TABLE IF NOT EXISTS alarm_service ("
        "instrument TEXT NOT NULL PRIMARY KEY, service TEXT NOT NULL, started_ms BIGINT NOT NULL, "
        "heartbeat_ms BIGINT NOT NULL)",
        // Actions asked for, oldest first; the service sets done_ms and
        // outcome ("done", or why not) once it has applied one.
        "CREATE TABLE IF NOT EXISTS alarm_actions ("
        "id BIGSERIAL PRIMARY KEY, instrument TEXT NOT NULL, point_key TEXT NOT NULL, "
        "action TEXT NOT NULL, minutes INTEGER NOT NULL DEFAULT 0, comment TEXT NOT NULL DEFAULT '', "
        "user_name TEXT NOT NULL, requested_ms BIGINT NOT NULL, done_ms BIGINT, outcome TEXT)",
        "CREATE INDEX IF NOT EXISTS alarm_actions_pending ON alarm_actions (instrument, id) "
        "WHERE done_ms IS NULL",
        // The operators' one way in: runs as the tables' owner, records the
        // caller's login (session_user) as the one who acted.
        "CREATE OR REPLACE FUNCTION kov_alarm_action(p_instrument TEXT, p_point TEXT, p_action TEXT, "
        "p_minutes INTEGER, p_comment TEXT) RETURNS BIGINT LANGUAGE plpgsql SECURITY DEFINER "
        "SET search_path FROM CURRENT AS $$\n"
        "DECLARE queued BIGINT;\n"
        "BEGIN\n"
        "  IF p_action NOT IN ('ack', 'shelve', 'unshelve') OR (p_action = 'shelve' AND "
        "coalesce(p_minutes, 0) <= 0) OR (p_point = 'all' AND p_action <> 'ack') THEN\n"
        "    RAISE EXCEPTION 'not an alarm action: % %', p_action, p_point USING ERRCODE = '22023';\n"
        "  END IF;\n"
        "  IF p_point <> 'all' AND NOT EXISTS (SELECT 1 FROM alarm_state WHERE instrument = p_instrument "
        "AND point_key = p_point) THEN\n"
        "    RAISE EXCEPTION 'no alarm point % of instrument %', p_point, p_instrument USING ERRCODE = "
        "'P0002';\n"
        "  END IF;\n"
        "  INSERT INTO alarm_actions (instrument, point_key, action, minutes, comment, user_name, "
        "requested_ms) VALUES (p_instrument, p_point, p_action, coalesce(p_minutes, 0), "
        "coalesce(p_comment, ''), session_user, (extract(epoch FROM clock_timestamp()) * 1000)::bigint) "
        "RETURNING id INTO queued;\n"
        "  PERFORM pg_notify('kov_alarm_actions', p_instrument);\n"
        "  RETURN queued;\n"
        "END\n"
        "$$",
        "REVOKE ALL ON FUNCTION kov_alarm_action(TEXT, TEXT, TEXT, INTEGER, TEXT) FROM PUBLIC",
    };
}

} // namespace AlarmRoomSchema
