#include "signal_watcher.h"

#include "shutdown_latch.h"

#include <csignal>
#include <ctime>

namespace {
sigset_t watchedSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}
} // namespace

void SignalWatcher::blockSignals()
{
    const sigset_t set = watchedSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    // A consumer or a reader that went away must not kill the simulator.
    std::signal(SIGPIPE, SIG_IGN);
}

SignalWatcher::SignalWatcher(ShutdownLatch& latch) : latch_(latch), thread_([this] { run(); }) {}

SignalWatcher::~SignalWatcher()
{
    stopping_ = true;
    thread_.join();
}

void SignalWatcher::run()
{
    const sigset_t set = watchedSignals();
    const timespec pollInterval{0, 200 * 1000 * 1000};
    while (!stopping_) {
        if (sigtimedwait(&set, nullptr, &pollInterval) > 0)
            latch_.request("signal");
    }
}
