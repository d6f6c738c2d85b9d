#pragma once

#include <string>

// How a notification leaves: a mail through the system's sendmail
// interface, a JSON POST to a webhook. Each call waits for its answer, at
// most `limitMs`; on failure `error` says why. Run on a thread that may
// wait (never the GUI thread); the webhook's needs no event loop of its
// caller's.
namespace NotificationSenders {

// `sendmail -t -i`: the recipients from the message's To header. Answers
// the program's exit status (0: taken), or -1 when it could not run or
// was stopped at the limit.
int mail(const std::string& sendmail, const std::string& message, std::string& error, int limitMs = 30000);
// True for a 2xx answer.
bool webhook(const std::string& url, const std::string& json, std::string& error, int limitMs = 10000);

} // namespace NotificationSenders
