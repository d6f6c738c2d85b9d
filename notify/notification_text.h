#pragma once

#include "notification.h"

#include <cstdint>
#include <string>
#include <vector>

// What the person on call reads: plain UTF-8 mails (and the webhook's JSON)
// made from the notifications that go to one recipient at once. No Qt.
namespace NotificationText {

// "2026-12-09 03:12:05 UTC"
std::string utc(std::int64_t utcMs);
// "45 s", "12 min 5 s", "3 h 20 min"
std::string duration(std::int64_t ms);
// A JSON string, quoted.
std::string json(const std::string& text);

struct Mail {
    std::string subject;
    std::string body;
};

// One notification alone, or several summed up: "KOV I: 5 new alarms: ...".
Mail compose(const std::string& instrument, const std::vector<Notification>& notifications);
// The webhook's body: one notification's object, or {"instrument", "summary",
// "notifications": [...]} for several.
std::string webhookBody(const std::string& instrument, const std::vector<Notification>& notifications);

// The whole message for `sendmail -t -i`: To, Subject (encoded when it is
// not ASCII), Date, MIME headers for UTF-8 plain text, then the body; line
// ends as the local sendmail interface takes them (LF).
std::string message(const std::string& to, const Mail& mail, std::int64_t nowUtcMs);

} // namespace NotificationText
