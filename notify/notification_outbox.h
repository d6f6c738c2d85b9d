#pragma once

#include "notification.h"

#include <QSqlDatabase>

#include <cstdint>
#include <string>
#include <vector>

// The archive's table of notifications, each kept before it is sent and
// marked once the sender has taken it: one row per recipient, keyed by the
// instrument, the recipient, the point, its raise and the stage, so that a
// notification passed on twice (a restart, a second recorder) is kept once.
// Used on the thread that opened `db`.
class NotificationOutbox {
public:
    static constexpr const char* table = "notification_outbox";

    NotificationOutbox(QSqlDatabase db, std::string instrument);

    // Makes the table where it is missing.
    bool prepare();
    // A continued notification is kept only where no earlier one of its
    // point stands for it (Notification::continued).
    bool put(const Notification& notification, std::int64_t nowMs);
    // The point's first mails and escalations not sent yet stay unsent; those
    // sent are marked acknowledged.
    bool cancel(const std::string& pointKey, std::int64_t nowMs);
    // Those with something due by now and unsent whose last sending was at
    // least `gapMs` ago.
    std::vector<std::string> ready(std::int64_t nowMs, std::int64_t gapMs);
    // What is due for the recipient and unsent, oldest first.
    std::vector<Notification> unsent(const std::string& recipient, std::int64_t nowMs);
    bool markSent(const std::string& recipient, const std::vector<Notification>& sent, std::int64_t nowMs);
    bool markFailed(
        const std::string& recipient, const std::vector<Notification>& tried, const std::string& why);

    const std::string& lastError() const { return lastError_; }

private:
    bool exec(const char* sql, const std::vector<QVariant>& values);

    QSqlDatabase db_;
    std::string instrument_;
    std::string lastError_;
};
