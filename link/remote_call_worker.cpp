#include "remote_call_worker.h"

#include <ace/Log_Msg.h>

#include <exception>

RemoteCallWorker::RemoteCallWorker(std::chrono::milliseconds pollPeriod) : period_(pollPeriod) {}

RemoteCallWorker::~RemoteCallWorker()
{
    stop();
}

void RemoteCallWorker::start(Job poll)
{
    if (thread_.joinable())
        return;
    poll_ = std::move(poll);
    thread_ = std::thread([this] { loop(); });
}

void RemoteCallWorker::post(Job job)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_)
            return;
        jobs_.push_back(std::move(job));
    }
    changed_.notify_all();
}

void RemoteCallWorker::stop()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        jobs_.clear();
    }
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

bool RemoteCallWorker::busy() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return running_ || !jobs_.empty();
}

void RemoteCallWorker::loop()
{
    using Clock = std::chrono::steady_clock;
    Clock::time_point nextPoll = Clock::now() + period_;
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        if (!jobs_.empty()) {
            Job job = std::move(jobs_.front());
            jobs_.pop_front();
            running_ = true;
            lock.unlock();
            runGuarded(job);
            lock.lock();
            running_ = false;
            continue;
        }
        if (poll_ && Clock::now() >= nextPoll) {
            // A slow answer delays the next poll instead of piling them up.
            lock.unlock();
            runGuarded(poll_);
            nextPoll = Clock::now() + period_;
            lock.lock();
            continue;
        }
        if (poll_)
            changed_.wait_until(lock, nextPoll);
        else
            changed_.wait(lock);
    }
}

void RemoteCallWorker::runGuarded(const Job& job)
{
    // The thread must outlive any one call that goes wrong.
    try {
        job();
    } catch (const std::exception& ex) {
        ACE_ERROR((LM_ERROR, "(%t) Unexpected exception in a remote call: %s\n", ex.what()));
    } catch (...) {
        ACE_ERROR((LM_ERROR, "(%t) Unexpected exception in a remote call\n"));
    }
}
