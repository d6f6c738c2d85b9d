#include "failure_log.h"

FailureLog::Verdict FailureLog::failed(const std::string& kind, std::int64_t nowMs)
{
    Count& count = kinds_[kind];
    if (++count.seen <= written) {
        count.sinceMs = nowMs;
        return {true, 0};
    }
    ++count.quiet;
    if (nowMs - count.sinceMs < periodMs)
        return {};
    const int quiet = count.quiet;
    count.quiet = 0;
    count.sinceMs = nowMs;
    return {false, quiet};
}
