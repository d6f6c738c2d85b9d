#pragma once

#include "alarm_rows.h"
#include "alarms_options.h"
#include "archive_address.h"

#include <QSqlDatabase>

#include <optional>
#include <string>
#include <vector>

class QSqlError;

namespace AlarmsTool {

// kovalarms's one connection to the archive: reads the alarm service's
// tables and queues actions through kov_alarm_action(), the one thing an
// operator's role may call. Every failure leaves fault() set: the exit
// status it means and a message that quotes no password. One thread.
class AlarmRoomLink {
public:
    struct Fault {
        Status status = Success;
        std::string message;
    };

    explicit AlarmRoomLink(const History::ArchiveAddress& address);
    ~AlarmRoomLink();

    AlarmRoomLink(const AlarmRoomLink&) = delete;
    AlarmRoomLink& operator=(const AlarmRoomLink&) = delete;

    bool open();
    const Fault& fault() const { return fault_; }

    // Empty `instrument`: every instrument's.
    std::optional<std::vector<PointRow>> points(const std::string& instrument);
    std::optional<std::vector<ServiceRow>> services(const std::string& instrument);
    // The server's clock: the one every heartbeat's age is judged by.
    std::optional<std::int64_t> serverNowMs();

    // One action per point, queued together or not at all; the actions'
    // ids in the points' order.
    std::optional<std::vector<std::int64_t>> request(const std::string& instrument, const std::string& action,
        const std::vector<std::string>& points, int minutes, const std::string& comment);
    std::optional<std::vector<ActionRow>> actions(const std::vector<std::int64_t>& ids);

    // LISTEN on the state channel, so that waitForNews wakes when the
    // service writes.
    bool listen();
    // Turns the event loop until a notification comes or `ms` pass.
    void waitForNews(int ms);

private:
    bool fail(const QSqlError& error, const char* what);
    bool failOpen(const QSqlError& error);

    History::ArchiveAddress address_;
    QString connection_;
    QSqlDatabase db_;
    Fault fault_;
};

} // namespace AlarmsTool
