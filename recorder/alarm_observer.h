#pragma once

#include <cstdint>

class AlarmEngine;
struct AlarmRecord;

// What else follows the recorder's alarm engine (the on-call notifier):
// called on the alarm service's thread, recorded() and tick() only while
// this recorder is the instrument's alarm service.
class AlarmObserver {
public:
    virtual ~AlarmObserver() = default;

    // This recorder became, or stopped being, the instrument's service.
    virtual void serviceActive(bool active) = 0;
    // After each journal record of the engine.
    virtual void recorded(const AlarmRecord& record) = 0;
    // Once a second, with the engine's state.
    virtual void tick(const AlarmEngine& engine, std::int64_t nowUtcMs) = 0;
};
