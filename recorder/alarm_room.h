#pragma once

#include "alarm_record.h"
#include "archive_address.h"

#include <QSqlDatabase>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QSqlQuery;

namespace Recorder {

// The alarm service's side of the shared alarm tables (AlarmRoomSchema), on
// a connection of its own: the service lock, the heartbeat, the state rows,
// the journal and the actions people queued. Every call answers whether it
// worked; after a failure the connection is to be closed and opened again
// (a lost connection has lost the lock as well). One thread only: the one
// that opened it, whose event loop delivers the action notifications.
class AlarmRoom {
public:
    // One row of alarm_state.
    struct State {
        std::string pointKey;
        std::string point;
        std::string state;
        int level = 0; // 0 none, 1 warning, 2 alarm
        bool active = false;
        bool acknowledged = true;
        std::int64_t sinceMs = 0;
        std::int64_t raisedMs = 0;
        std::int64_t shelvedUntilMs = 0;
        std::optional<double> value;
        std::optional<double> setpoint;
        std::string actedBy;
        std::int64_t actedMs = 0;
        std::string comment;

        // The same row but for its time of writing.
        bool sameAs(const State& other) const;
    };
    // One pending row of alarm_actions.
    struct Action {
        std::int64_t id = 0;
        std::string pointKey;
        std::string action;
        int minutes = 0;
        std::string comment;
        std::string user;
    };
    struct Done {
        std::int64_t id = 0;
        std::string outcome;
    };
    enum class Opened {
        Ok,
        NotYet, // the server is there, the tables not yet (the writer makes them)
        Failed
    };

    AlarmRoom(History::ArchiveAddress address, std::string connectionName, std::string instrument);
    ~AlarmRoom();

    AlarmRoom(const AlarmRoom&) = delete;
    AlarmRoom& operator=(const AlarmRoom&) = delete;

    // Connects and listens for queued actions: `onAction` is called (on
    // this thread) for each notification naming this instrument.
    Opened open(std::function<void()> onAction);
    // Ends the connection, and with it the lock.
    void close();
    bool isOpen() const { return db_.isOpen(); }

    // Whether this connection holds the instrument's service lock now.
    std::optional<bool> tryLock();
    // Who is the service, as alarm_service says; empty when nobody is.
    std::optional<std::string> service();
    bool heartbeat(const std::string& service, std::int64_t startedMs, std::int64_t nowMs);
    std::optional<std::vector<State>> states();
    std::optional<std::vector<Action>> pendingActions();
    // In one transaction: the records, the rows and the actions applied,
    // then the consoles told.
    bool write(const std::vector<AlarmRecord>& records, const std::vector<State>& rows,
        const std::vector<Done>& done, std::int64_t nowMs);

    // Why the last call failed (never a password).
    const std::string& lastError() const { return lastError_; }

private:
    bool fail(const QSqlQuery& query, const char* what);
    bool run(QSqlQuery& query, const char* what);
    bool insertRecord(const AlarmRecord& record);
    bool upsertState(const State& row, std::int64_t nowMs);
    bool notifyConsoles();

    History::ArchiveAddress address_;
    QString connection_;
    QString instrument_;
    QSqlDatabase db_;
    std::string lastError_;
};

} // namespace Recorder
