#pragma once

#include "liveness.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace Recorder {

// Tells systemd how the recorder stands (sd_notify): ready once it records,
// stopping at the end, and, while every worker shows progress, alive to the
// unit's watchdog; a worker that stalls stops the pings, and systemd
// restarts the recorder. Without NOTIFY_SOCKET (not started by systemd as a
// Type=notify service) nothing is sent.
class ServiceNotifier {
public:
    // A worker is taken for hung when it has not stamped for this long.
    static constexpr std::int64_t defaultStalledAfterMs = 20000;

    using Log = std::function<void(const std::string&)>;
    explicit ServiceNotifier(
        const Liveness& liveness, Log log = {}, std::int64_t stalledAfterMs = defaultStalledAfterMs);

    void ready();    // READY=1
    void stopping(); // STOPPING=1

    // How often tick() is due: half the watchdog's time (WATCHDOG_USEC);
    // zero when systemd watches none.
    std::chrono::milliseconds watchdogPeriod() const;

    // WATCHDOG=1 when every worker got on lately; otherwise nothing, and the
    // log says once which worker stalled. True when the ping went out.
    bool tick();

private:
    bool send(const char* state);

    const Liveness& liveness_;
    Log log_;
    const std::int64_t stalledAfterMs_;
    bool stallSaid_ = false;
};

} // namespace Recorder
