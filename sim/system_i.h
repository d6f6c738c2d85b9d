#ifndef KOVSIM_SYSTEM_I_H
#define KOVSIM_SYSTEM_I_H

#include <kov.hh>

#include <chrono>
#include <condition_variable>
#include <mutex>

class SimLog;

// The instrument's control object. "elapsedTime" can be made to fail or to
// answer late for a while, to stand for an instrument that is going away.
class System_i : public POA_KOV::System {
public:
    // `onSeconds`: how long the instrument has already been on at start.
    System_i(SimLog& log, double onSeconds);

    // KOV::System
    CORBA::ULongLong elapsedTime() override;
    void disconnect(const char* reason) override;

    // For the next `forSeconds`, "elapsedTime" raises COMM_FAILURE.
    void failFor(double forSeconds);

    // For the next `forSeconds`, "elapsedTime" waits `delaySeconds` first.
    void hangFor(double delaySeconds, double forSeconds);

    // Back to plain answers.
    void normal();

    // Releases calls that are waiting; later calls answer at once.
    void shutdown();

private:
    using Clock = std::chrono::steady_clock;

    CORBA::ULongLong seconds() const;
    void waitFor(double delaySeconds);

    SimLog& log_;
    const Clock::time_point switchedOn_;

    std::mutex mutex_; // guards the fault settings below
    std::condition_variable released_;
    Clock::time_point failUntil_;
    Clock::time_point hangUntil_;
    double hangSeconds_ = 0;
    bool shutDown_ = false;
};

#endif
