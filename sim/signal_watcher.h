#ifndef KOVSIM_SIGNAL_WATCHER_H
#define KOVSIM_SIGNAL_WATCHER_H

#include <atomic>
#include <thread>

class ShutdownLatch;

// Turns SIGINT and SIGTERM into an orderly shutdown. blockSignals() must run
// before any other thread exists (before ORB_init), so that only this
// watcher ever receives them.
class SignalWatcher {
public:
    static void blockSignals();

    explicit SignalWatcher(ShutdownLatch& latch);
    ~SignalWatcher();

    SignalWatcher(const SignalWatcher&) = delete;
    SignalWatcher& operator=(const SignalWatcher&) = delete;

private:
    void run();

    ShutdownLatch& latch_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

#endif
