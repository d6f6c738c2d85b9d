#pragma once

#include "archive_address.h"
#include "failure_log.h"
#include "notification.h"
#include "notify_settings.h"
#include "reconnect_backoff.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

class NotificationOutbox;

// Tells the person on call, on a thread of its own that owns its own
// connection to the archive: every notification passed in is first kept in
// the archive's outbox, and marked there only once the sender program (or
// the webhook) has taken it, so a recorder killed meanwhile sends it after
// its restart (a kill between the taking and the mark is the one way to a
// duplicate). At most one mail per recipient per minute: what comes due
// meanwhile goes with the next. A failing sender is tried again after 1 s,
// doubling to 30 s, and logged as the reconnects are (three lines, then a
// summary every 10 minutes). Only the instrument's alarm service sends
// (setActive); the outbox is the same for every recorder of it.
class Notifier {
public:
    static constexpr std::int64_t gapMs = 60 * 1000;

    struct Options {
        History::ArchiveAddress address;
        std::string instrument;
        NotifySettings settings;
        std::function<void(const std::string&)> log; // any thread, one at a time
        std::function<std::int64_t()> utcMs;         // the clock; the system's when empty
        int senderLimitMs = 20000;
        int retryLongestSeconds = 30; // the longest wait before a failing sender is tried again
    };

    explicit Notifier(Options options);
    ~Notifier();

    Notifier(const Notifier&) = delete;
    Notifier& operator=(const Notifier&) = delete;

    void start();
    // Ends the thread; a sending under way may take its limit.
    void stop();
    void setActive(bool active);

    // Any thread.
    void due(const Notification& notification);
    void cancelled(const std::string& pointKey);

    // Mails and webhook calls taken this run.
    int sent() const { return sent_; }

    // --test-notify: one mail to the on-call addresses and one webhook call,
    // now, without the outbox. Answers the first failing sender's status
    // (a webhook failure is 1), 0 when all were taken.
    static int sendTest(const NotifySettings& settings, const std::string& instrument,
        const std::function<void(const std::string&)>& log);

private:
    struct Cancel {
        std::string pointKey;
    };
    struct Queued {
        std::optional<Notification> due;
        std::optional<Cancel> cancel;
    };

    void run();
    bool open();
    bool takeQueue(NotificationOutbox& outbox, std::int64_t now);
    bool sendReady(NotificationOutbox& outbox, std::int64_t now);
    bool send(const std::string& recipient, const std::vector<Notification>& rows, std::int64_t now,
        std::string& error) const;
    void failed(const std::string& kind, const std::string& error);
    std::int64_t now() const;

    Options options_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Queued> queue_;
    bool stopping_ = false;
    std::atomic<bool> active_{false};
    std::atomic<int> sent_{0};
    // Notifier thread only.
    std::optional<ReconnectBackoff> mailBackoff_, webhookBackoff_;
    FailureLog failures_;
};
