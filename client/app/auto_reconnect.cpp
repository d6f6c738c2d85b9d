#include "auto_reconnect.h"

#include <ace/Log_Msg.h>

#include <chrono>

AutoReconnect::AutoReconnect(int firstSeconds, int longestSeconds, std::function<void()> tryNow)
    : random_(std::random_device{}()),
      backoff_(firstSeconds, longestSeconds, nowMs,
          [this] { return std::uniform_real_distribution<double>(0.0, 1.0)(random_); }),
      tryNow_(std::move(tryNow))
{
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] {
        if (!stopped_)
            tryNow_();
    });
}

std::int64_t AutoReconnect::nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void AutoReconnect::linkLost()
{
    if (!timer_.isActive())
        plan();
}

void AutoReconnect::failed(const std::string& what)
{
    ++failedInRow_;
    const FailureLog::Verdict verdict = log_.failed(what, nowMs());
    if (verdict.write)
        ACE_ERROR((LM_ERROR, "Automatic reconnect failed: %s\n", what.c_str()));
    else if (verdict.summarised > 0)
        ACE_ERROR((LM_ERROR, "Automatic reconnect failed %d more times in the last 10 minutes: %s\n",
            verdict.summarised, what.c_str()));
    plan();
}

void AutoReconnect::plan()
{
    if (stopped_ || !enabled())
        return;
    backoff_.schedule();
    timer_.start(static_cast<int>(backoff_.msUntilTry()));
}

void AutoReconnect::succeeded()
{
    timer_.stop();
    backoff_.reset();
    log_.succeeded();
    failedInRow_ = 0;
}

void AutoReconnect::operatorTried()
{
    timer_.stop();
    backoff_.reset();
}

void AutoReconnect::stop()
{
    stopped_ = true;
    timer_.stop();
    backoff_.reset();
}

int AutoReconnect::secondsUntilTry() const
{
    return timer_.isActive() ? backoff_.secondsUntilTry() : 0;
}
