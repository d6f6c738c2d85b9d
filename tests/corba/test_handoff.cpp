// The blocking hand-off between a sender thread and a receiver on the GUI
// thread (the main thread of this test, which runs the Qt event loop only
// while a test spins it).
#include "gui_thread.h"
#include "handoff.h"
#include "spin_until.h"
#include "test_orb.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <thread>
#include <utility>
#include <vector>

using namespace std::chrono_literals;

namespace {

// Counts the calls; runs an optional action inside OnEvent.
class Receiver : public HandoffReceiver {
public:
    void OnEvent(const CORBA::TypeCode* type, const void* value) override
    {
        allOnGuiThread = allOnGuiThread && onGuiThread();
        lastType = type;
        lastValue = value ? *static_cast<const int*>(value) : -1;
        ++calls;
        if (action)
            action();
        finished = true;
    }

    std::function<void()> action;
    std::atomic<int> calls{0};
    std::atomic<bool> finished{false};
    bool allOnGuiThread = true;
    const CORBA::TypeCode* lastType = nullptr;
    int lastValue = 0;
};

template<typename T>
bool spinUntilReady(std::future<T>& future, std::chrono::milliseconds limit = 10s)
{
    return spinUntil([&] { return future.wait_for(0ms) == std::future_status::ready; }, limit);
}

// Sends `value` from another thread while the GUI thread spins; answers
// whether it was delivered and whether the receiver had finished by the
// time send returned.
std::pair<bool, bool> sendFromAnotherThread(Handoff& handoff, const Receiver& receiver, int value)
{
    auto sent = std::async(std::launch::async, [&] {
        const bool delivered = handoff.send(CORBA::_tc_long, &value);
        return std::make_pair(delivered, receiver.finished.load());
    });
    EXPECT_TRUE(spinUntilReady(sent));
    return sent.get();
}

TEST(Handoff, SenderWaitsUntilTheReceiverOnTheGuiThreadHasReturned)
{
    Receiver receiver;
    Handoff handoff(&receiver);
    receiver.action = [] { std::this_thread::sleep_for(50ms); };

    const auto [delivered, finishedBeforeReturn] = sendFromAnotherThread(handoff, receiver, 42);

    EXPECT_TRUE(delivered);
    EXPECT_TRUE(finishedBeforeReturn);
    EXPECT_EQ(receiver.calls, 1);
    EXPECT_TRUE(receiver.allOnGuiThread);
    EXPECT_EQ(receiver.lastType, CORBA::_tc_long);
    EXPECT_EQ(receiver.lastValue, 42); // read through the sender's pointer
}

TEST(Handoff, SendOnTheReceiversOwnThreadCallsDirectly)
{
    Receiver receiver;
    Handoff handoff(&receiver);
    const int value = 7;
    // No event loop runs here: a queued, blocking call would never return.
    EXPECT_TRUE(handoff.send(CORBA::_tc_long, &value));
    EXPECT_EQ(receiver.calls, 1);
    EXPECT_EQ(receiver.lastValue, 7);
}

TEST(Handoff, CloseReleasesASenderWhoseGuiLoopHasStopped)
{
    Receiver receiver;
    Handoff handoff(&receiver);
    auto sent = std::async(std::launch::async, [&] {
        const int value = 1;
        return handoff.send(CORBA::_tc_long, &value);
    });
    // The main thread does not run its loop: the sender stays blocked.
    EXPECT_EQ(sent.wait_for(200ms), std::future_status::timeout);

    handoff.close();
    ASSERT_EQ(sent.wait_for(10s), std::future_status::ready);
    EXPECT_FALSE(sent.get());

    // The abandoned payload's pointer is dead; it must never be delivered.
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(receiver.calls, 0);
}

TEST(Handoff, SendsAfterCloseAreDropped)
{
    Receiver receiver;
    Handoff handoff(&receiver);
    handoff.close();
    EXPECT_TRUE(handoff.isClosed());

    const int value = 3;
    EXPECT_FALSE(handoff.send(CORBA::_tc_long, &value)); // own thread
    auto sent = std::async(std::launch::async, [&] { return handoff.send(CORBA::_tc_long, &value); });
    ASSERT_EQ(sent.wait_for(10s), std::future_status::ready); // no loop needed
    EXPECT_FALSE(sent.get());
    QCoreApplication::processEvents();
    EXPECT_EQ(receiver.calls, 0);
}

TEST(Handoff, CloseDuringTheReceiversCallWaitsForItsEnd)
{
    Receiver receiver;
    Handoff handoff(&receiver);
    receiver.action = [&] {
        handoff.close();
        std::this_thread::sleep_for(50ms);
    };
    const auto [delivered, finishedBeforeReturn] = sendFromAnotherThread(handoff, receiver, 5);
    EXPECT_TRUE(delivered);
    EXPECT_TRUE(finishedBeforeReturn);
}

TEST(Handoff, ReceiverExceptionReachesTheSenderAndTheLoopGoesOn)
{
    Receiver receiver;
    Handoff handoff(&receiver);
    receiver.action = [&] {
        if (receiver.calls == 1)
            throw CORBA::BAD_PARAM(0, CORBA::COMPLETED_NO);
    };
    auto sent = std::async(std::launch::async, [&] {
        const int value = 9;
        bool raised = false;
        try {
            handoff.send(CORBA::_tc_long, &value);
        } catch (const CORBA::BAD_PARAM&) {
            raised = true;
        }
        const bool second = handoff.send(CORBA::_tc_long, &value);
        return std::make_pair(raised, second);
    });
    ASSERT_TRUE(spinUntilReady(sent));
    const auto [raised, second] = sent.get();
    EXPECT_TRUE(raised);
    EXPECT_TRUE(second);
    EXPECT_EQ(receiver.calls, 2);
}

TEST(Handoff, ConcurrentSendersAreAllDeliveredInTheirOrder)
{
    constexpr int senders = 4;
    constexpr int perSender = 100;
    std::vector<std::pair<int, int>> seen; // touched on the GUI thread only

    class Collect : public HandoffReceiver {
    public:
        explicit Collect(std::vector<std::pair<int, int>>& out) : out_(out) {}
        void OnEvent(const CORBA::TypeCode*, const void* value) override
        {
            out_.push_back(*static_cast<const std::pair<int, int>*>(value));
        }

    private:
        std::vector<std::pair<int, int>>& out_;
    } receiver(seen);
    Handoff handoff(&receiver);

    std::vector<std::future<int>> threads;
    for (int s = 0; s < senders; ++s)
        threads.push_back(std::async(std::launch::async, [&, s] {
            int delivered = 0;
            for (int i = 0; i < perSender; ++i) {
                const std::pair<int, int> value(s, i);
                delivered += handoff.send(nullptr, &value) ? 1 : 0;
            }
            return delivered;
        }));
    for (auto& t : threads) {
        ASSERT_TRUE(spinUntilReady(t, 30s));
        EXPECT_EQ(t.get(), perSender);
    }

    ASSERT_EQ(seen.size(), static_cast<size_t>(senders * perSender));
    std::vector<int> next(senders, 0);
    for (const auto& [sender, index] : seen)
        EXPECT_EQ(index, next[sender]++);
}

TEST(Handoff, WindowGateStartsShutAndIsSeenFromOtherThreads)
{
    Handoff handoff;
    EXPECT_FALSE(handoff.isReceiverUp());
    handoff.setReceiverUp(true);
    auto seen = std::async(std::launch::async, [&] { return handoff.isReceiverUp(); });
    EXPECT_TRUE(seen.get());
    handoff.setReceiverUp(false);
    EXPECT_FALSE(handoff.isReceiverUp());
}

} // namespace

namespace {

TEST(Handoff, InvokeRunsACallOnTheGuiThreadInTurnWithThePayloads)
{
    Receiver receiver;
    Handoff handoff(&receiver);
    std::vector<int> order; // GUI thread only
    receiver.action = [&] { order.push_back(receiver.lastValue); };
    auto sent = std::async(std::launch::async, [&] {
        int first = 1, last = 3;
        handoff.send(CORBA::_tc_long, &first);
        bool ranOnGui = false;
        const bool delivered = handoff.invoke([&] {
            ranOnGui = onGuiThread();
            order.push_back(2);
        });
        handoff.send(CORBA::_tc_long, &last);
        return delivered && ranOnGui;
    });
    ASSERT_TRUE(spinUntilReady(sent));
    EXPECT_TRUE(sent.get());
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));

    handoff.close();
    bool ran = false;
    EXPECT_FALSE(handoff.invoke([&] { ran = true; }));
    EXPECT_FALSE(ran);
}

} // namespace
