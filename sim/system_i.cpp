#include "system_i.h"

#include "sim_log.h"

#include <cstdio>

namespace {
std::chrono::steady_clock::duration span(double seconds)
{
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(seconds));
}

} // namespace

System_i::System_i(SimLog& log, double onSeconds) : log_(log), switchedOn_(Clock::now() - span(onSeconds)) {}

CORBA::ULongLong System_i::seconds() const
{
    return static_cast<CORBA::ULongLong>(
        std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - switchedOn_).count());
}

CORBA::ULongLong System_i::elapsedTime()
{
    bool fail = false;
    double delay = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const Clock::time_point now = Clock::now();
        fail = now < failUntil_ && !shutDown_;
        if (now < hangUntil_ && !shutDown_)
            delay = hangSeconds_;
    }
    if (fail) {
        log_.line("elapsedTime fail exception=COMM_FAILURE");
        throw CORBA::COMM_FAILURE(0, CORBA::COMPLETED_NO);
    }
    if (delay > 0) {
        log_.line("elapsedTime hang seconds=" + SimLog::fixed3(delay));
        waitFor(delay);
    }
    const CORBA::ULongLong answer = seconds();
    log_.line("elapsedTime answer=" + std::to_string(answer));
    return answer;
}

void System_i::waitFor(double delaySeconds)
{
    std::unique_lock<std::mutex> lock(mutex_);
    released_.wait_for(lock, span(delaySeconds), [this] { return shutDown_; });
}

void System_i::disconnect(const char* reason)
{
    log_.line("system-disconnect reason=" + SimLog::quoted(reason ? reason : ""));
}

void System_i::failFor(double forSeconds)
{
    std::lock_guard<std::mutex> lock(mutex_);
    failUntil_ = Clock::now() + span(forSeconds);
}

void System_i::hangFor(double delaySeconds, double forSeconds)
{
    std::lock_guard<std::mutex> lock(mutex_);
    hangSeconds_ = delaySeconds;
    hangUntil_ = Clock::now() + span(forSeconds);
}

void System_i::normal()
{
    std::lock_guard<std::mutex> lock(mutex_);
    failUntil_ = Clock::time_point();
    hangUntil_ = Clock::time_point();
}

void System_i::shutdown()
{
    std::lock_guard<std::mutex> lock(mutex_);
    shutDown_ = true;
    released_.notify_all();
}
