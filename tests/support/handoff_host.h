#ifndef KOV_TESTS_HANDOFF_HOST_H
#define KOV_TESTS_HANDOFF_HOST_H

#include "consumer_host.h"
#include "handoff.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

// The application's side of the event servant, for tests and benchmarks:
// every payload goes through `handoff` to its receiver (a sender on the
// Handoff's own thread calls the receiver directly), the window is up as
// the Handoff says, and each loss of the link is recorded. Header only, so
// that the benchmarks can use it in a build without the tests.
class HandoffHost : public ConsumerHost {
public:
    explicit HandoffHost(Handoff& handoff) : handoff_(handoff) {}

    bool IsWindowUp() const override { return handoff_.isReceiverUp(); }

    void HandOff(const CORBA::TypeCode* type, const void* value) override
    {
        if (beforeHandOff)
            beforeHandOff();
        if (handoff_.send(type, value))
            ++handOffs_;
    }

    void DropLink() override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        drops_.push_back(handOffs_);
    }

    // For each DropLink, how many hand-offs had been delivered before it.
    std::vector<int> drops() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return drops_;
    }

    // Runs on the sending thread before each hand-off; set it before the
    // servant can be called.
    std::function<void()> beforeHandOff;

private:
    Handoff& handoff_;
    std::atomic<int> handOffs_{0};
    mutable std::mutex mutex_;
    std::vector<int> drops_;
};

#endif
