#pragma once

#include "archive_address.h"
#include "room_alarm_snapshot.h"

#include <QObject>

#include <memory>
#include <string>

class QThread;

// A console's line to the room's alarms in the archive (PostgreSQL), on a
// thread of its own with its own connection: it listens on "kov_alarms"
// and reads the instrument's alarm_state and alarm_service rows at start,
// on each notification for the instrument and every `pollMs` (for the
// heartbeat's age); it calls kov_alarm_action() for the console's
// acknowledgements and shelves. Snapshots and answers are signalled on the
// owner's thread (the GUI thread, which never touches the database). A lost
// connection is said as an unreachable snapshot and tried again, waiting
// longer each time.
class RoomAlarmReader : public QObject {
    Q_OBJECT

public:
    struct Options {
        History::ArchiveAddress address;
        std::string instrument;
        int pollMs = 5000;
        int connectSeconds = 3;
        int retryFirstSeconds = 2;
        int retryLongestSeconds = 30;
    };

    explicit RoomAlarmReader(Options options, QObject* parent = nullptr);
    // Cuts the connection's work under way and waits for the thread, at
    // most as long as a connection attempt takes.
    ~RoomAlarmReader() override;

    RoomAlarmReader(const RoomAlarmReader&) = delete;
    RoomAlarmReader& operator=(const RoomAlarmReader&) = delete;

    // Any thread: queued to the reader's thread, answered by `answered`.
    void act(const RoomAlarmAction& action);
    // Any thread: read again now.
    void refresh();

    const std::string& instrument() const { return instrument_; }
    const std::string& role() const { return role_; }

signals:
    void read(const RoomAlarmSnapshot& snapshot);
    void answered(const RoomActionAnswer& answer);

private:
    class Worker;
    struct Shared;

    std::string instrument_;
    std::string role_;
    std::shared_ptr<Shared> shared_;
    QThread* thread_ = nullptr;
    Worker* worker_ = nullptr; // lives on thread_, deleted there
    int stopWaitMs_ = 0;
};
