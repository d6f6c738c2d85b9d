#pragma once

#include <optional>
#include <string>
#include <vector>

// Who is told of the alarms nobody acknowledges, when and how: the
// recorder's options (--notify, --notify-after, --escalate,
// --escalate-after, --sendmail, --webhook), the same as the variables of
// /etc/default/kovrecorder.
struct NotifySettings {
    static constexpr int defaultNotifyAfterSeconds = 120;
    static constexpr int defaultEscalateAfterSeconds = 600;
    static constexpr const char* defaultSendmail = "/usr/sbin/sendmail";

    std::vector<std::string> notify;   // the on-call addresses
    std::vector<std::string> escalate; // the second line
    int notifyAfterSeconds = defaultNotifyAfterSeconds;
    int escalateAfterSeconds = defaultEscalateAfterSeconds;
    std::string sendmail = defaultSendmail;
    std::string webhook; // empty: none

    bool enabled() const { return !notify.empty() || !webhook.empty(); }

    // "a@example.org,b@example.org": each a plain address (no blanks, no
    // line ends, one @), as a mail header may carry it. Empty with `error`
    // set for anything else.
    static std::optional<std::vector<std::string>> addresses(const std::string& list, std::string& error);
    // Whole seconds, 0 to a week.
    static std::optional<int> seconds(const std::string& text, std::string& error);
    // An http:// or https:// address without blanks or line ends.
    static bool validWebhook(const std::string& url);
};
