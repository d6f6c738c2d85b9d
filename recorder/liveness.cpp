#include "liveness.h"

#include <chrono>

namespace Recorder {

Liveness::Beat::Beat(std::string name, Clock clock)
    : name_(std::move(name)), clock_(std::move(clock)), lastMs_(clock_())
{}

bool Liveness::Beat::alive(std::int64_t limitMs) const
{
    return excused_ > 0 || clock_() - lastMs_ <= limitMs;
}

std::int64_t Liveness::steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

Liveness::Liveness(Clock clock) : clock_(std::move(clock)) {}

std::shared_ptr<Liveness::Beat> Liveness::add(std::string name)
{
    auto beat = std::make_shared<Beat>(std::move(name), clock_);
    std::lock_guard<std::mutex> lock(mutex_);
    beats_.push_back(beat);
    return beat;
}

std::vector<std::string> Liveness::stalled(std::int64_t limitMs) const
{
    std::vector<std::string> names;
    std::lock_guard<std::mutex> lock(mutex_);
    for (const std::weak_ptr<Beat>& held : beats_)
        if (const std::shared_ptr<Beat> beat = held.lock(); beat && !beat->alive(limitMs))
            names.push_back(beat->name());
    return names;
}

} // namespace Recorder
