#include "shutdown_latch.h"

void ShutdownLatch::request(const std::string& cause)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (requested_)
        return;
    requested_ = true;
    cause_ = cause;
    done_.notify_all();
}

bool ShutdownLatch::requested() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return requested_;
}

std::string ShutdownLatch::wait()
{
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return requested_; });
    return cause_;
}
