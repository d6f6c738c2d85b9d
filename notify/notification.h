#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One thing the person on call is to be told, for its recipients: an alarm
// still unacknowledged when its delay ran out (first), still so when the
// escalation's ran out too, or the end of an episode (all clear). Its texts
// are made when it comes due, so that a mail sent later still says what was
// true then.
struct Notification {
    enum class Stage {
        First = 0,
        Escalation = 1,
        AllClear = 2
    };

    std::string pointKey;      // "electronics.water"; "*" for an all-clear
    std::int64_t raisedMs = 0; // the raise (UTC); an all-clear: its episode's first raise
    Stage stage = Stage::First;
    std::int64_t dueMs = 0;
    std::vector<std::string> recipients; // mail addresses, and the webhook's URL
    std::string subject;                 // when it goes alone
    std::string summary;                 // a line of a mail that sums several up
    std::string text;                    // its part of a mail's body
    std::string json;                    // the webhook's body
    // Raised about when this recorder became the service (a restart, a
    // standby taking over): its engine's raise is not the one the previous
    // service keyed it by. A row of the point and stage for the recipient
    // raised from a day before to a minute after, and not acknowledged
    // since, stands for it.
    bool continued = false;
};
