#ifndef KOVSIM_SHUTDOWN_LATCH_H
#define KOVSIM_SHUTDOWN_LATCH_H

#include <condition_variable>
#include <mutex>
#include <string>

// The one place where every way of ending the simulator meets ("quit", end
// of input, a signal); the main thread waits on it. The first cause wins.
class ShutdownLatch {
public:
    void request(const std::string& cause);
    bool requested() const;
    // Blocks until a shutdown is requested; answers its cause.
    std::string wait();

private:
    mutable std::mutex mutex_;
    std::condition_variable done_;
    std::string cause_;
    bool requested_ = false;
};

#endif
