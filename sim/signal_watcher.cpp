#include "signal_watcher.h"

#include "quit_signals.h"
#include "shutdown_latch.h"

#include <csignal>
#include <ctime>

void SignalWatcher::blockSignals()
{
    QuitSignals::block();
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
    const sigset_t set = QuitSignals::set();
    const timespec pollInterval{0, 200 * 1000 * 1000};
    while (!stopping_) {
        if (sigtimedwait(&set, nullptr, &pollInterval) > 0)
            latch_.request("signal");
    }
}
