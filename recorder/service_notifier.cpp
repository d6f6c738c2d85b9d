#include "service_notifier.h"

#include <systemd/sd-daemon.h>

#include <algorithm>

namespace Recorder {

ServiceNotifier::ServiceNotifier(const Liveness& liveness, Log log, std::int64_t stalledAfterMs)
    : liveness_(liveness), log_(std::move(log)), stalledAfterMs_(stalledAfterMs)
{}

bool ServiceNotifier::send(const char* state)
{
    // 0: no NOTIFY_SOCKET; below 0: the socket is gone (systemd's business).
    return sd_notify(0, state) > 0;
}

void ServiceNotifier::ready()
{
    send("READY=1");
}

void ServiceNotifier::stopping()
{
    send("STOPPING=1");
}

std::chrono::milliseconds ServiceNotifier::watchdogPeriod() const
{
    std::uint64_t usec = 0;
    if (sd_watchdog_enabled(0, &usec) <= 0 || usec == 0)
        return std::chrono::milliseconds(0);
    return std::chrono::milliseconds(std::max<std::uint64_t>(usec / 2000, 1));
}

bool ServiceNotifier::tick()
{
    const std::vector<std::string> stalled = liveness_.stalled(stalledAfterMs_);
    if (stalled.empty()) {
        if (stallSaid_ && log_)
            log_("every worker gets on again; the watchdog is told so");
        stallSaid_ = false;
        return send("WATCHDOG=1");
    }
    if (!stallSaid_ && log_) {
        std::string names;
        for (const std::string& name : stalled)
            names += (names.empty() ? "" : ", ") + name;
        log_("no progress for " + std::to_string(stalledAfterMs_ / 1000) + " s in the " + names +
            "; the watchdog is no longer told all is well, and systemd restarts the recorder");
    }
    stallSaid_ = true;
    return false;
}

} // namespace Recorder
