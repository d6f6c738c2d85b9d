#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace Recorder {

// Whether the recorder's workers still get on with their work. Each worker
// holds a Beat and stamps it from its own thread whenever it goes round its
// loop; the service watchdog asks, from the main thread, which ones have not
// stamped lately. A worker that has ended drops its beat and no longer
// counts.
class Liveness {
public:
    // Milliseconds of a clock that only goes forward.
    using Clock = std::function<std::int64_t()>;

    class Beat {
    public:
        Beat(std::string name, Clock clock);

        // Progress now (any thread, cheap).
        void stamp() { lastMs_ = clock_(); }

        // A step known to take long that is no hang: opening an archive
        // whose tables are being upgraded, or whose creation lock another
        // recorder holds. Not counted while it lasts; a stamp at its end.
        class Excuse {
        public:
            explicit Excuse(Beat& beat) : beat_(beat) { ++beat_.excused_; }
            ~Excuse()
            {
                beat_.stamp();
                --beat_.excused_;
            }
            Excuse(const Excuse&) = delete;
            Excuse& operator=(const Excuse&) = delete;

        private:
            Beat& beat_;
        };

        const std::string& name() const { return name_; }
        // Stamped within `limitMs` of now, or excused.
        bool alive(std::int64_t limitMs) const;

    private:
        const std::string name_;
        const Clock clock_;
        std::atomic<std::int64_t> lastMs_;
        std::atomic<int> excused_{0};
    };

    static std::int64_t steadyMs();

    explicit Liveness(Clock clock = steadyMs);

    // A worker's beat, stamped now; the worker keeps it while it runs.
    std::shared_ptr<Beat> add(std::string name);

    // The names of the workers that did not stamp within `limitMs`: empty
    // while all get on.
    std::vector<std::string> stalled(std::int64_t limitMs) const;

private:
    Clock clock_;
    mutable std::mutex mutex_;
    std::vector<std::weak_ptr<Beat>> beats_;
};

} // namespace Recorder
