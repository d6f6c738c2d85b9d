#pragma once

#include "alarm_observer.h"
#include "archive_address.h"
#include "notifier.h"
#include "notify_settings.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>

class NotificationPlanner;

namespace Recorder {

// The on-call notification of the recorder's alarm engine: the planner
// decides from the engine's state what comes due, the notifier keeps it in
// the archive's outbox and sends it. Only the instrument's alarm service
// sends; a recorder on standby sends nothing, and what two recorders both
// pass on is kept once by the outbox. At each take-over the planner starts
// afresh: what an earlier service told is in the outbox, not in this one's
// memory. An alarm this engine saw raised by a minute after the take-over
// may be one the previous service told of under its own engine's raise: the
// first of its point and stage is passed on as continued
// (Notification::continued), so that a restart or a standby taking over does
// not tell it twice. The observer's calls come
// on the alarm service's thread.
class NotificationService : public AlarmObserver {
public:
    struct Options {
        History::ArchiveAddress address; // PostgreSQL: the outbox is shared by the recorders
        std::string instrument;
        NotifySettings settings;
        std::function<void(const std::string&)> log; // any thread
        int retryLongestSeconds = 30;
        std::function<std::int64_t()> utcMs; // the notifier's clock; the system's when empty
    };

    explicit NotificationService(Options options);
    ~NotificationService() override;

    NotificationService(const NotificationService&) = delete;
    NotificationService& operator=(const NotificationService&) = delete;

    // The notifier's thread; stop() ends it within its sender's limit.
    void start();
    void stop();

    void serviceActive(bool active) override;
    void recorded(const AlarmRecord& record) override;
    void tick(const AlarmEngine& engine, std::int64_t nowUtcMs) override;

    // Mails and webhook calls taken this run.
    int sent() const { return notifier_.sent(); }

    // What a mail shows for acknowledging, the point's key to follow:
    // "kovalarms --archive postgresql://USER@HOST:PORT/DB --instrument NAME ack".
    static std::string acknowledgeCommand(
        const History::ArchiveAddress& address, const std::string& instrument);

    static constexpr std::int64_t continuedWithinMs = 60 * 1000;

private:
    void due(const Notification& notification);

    Options options_;
    Notifier notifier_;
    // While the service; the alarm service's thread.
    std::unique_ptr<NotificationPlanner> planner_;
    std::int64_t takenOverMs_ = 0;                 // the first tick's time; 0 before it
    std::set<std::pair<std::string, int>> passed_; // (point, stage) since the take-over
};

} // namespace Recorder
