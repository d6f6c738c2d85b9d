#include "remote_call_worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

// Waits (bounded) until `done` holds.
template<typename F>
bool eventually(F done, std::chrono::milliseconds limit = 5s)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(1ms);
    return done();
}

TEST(RemoteCallWorker, JobsRunInOrderOnOneOtherThread)
{
    RemoteCallWorker worker;
    worker.start({});
    std::mutex mutex;
    std::vector<int> order;
    std::vector<std::thread::id> threads;
    for (int i = 0; i < 50; ++i)
        worker.post([&, i] {
            std::lock_guard<std::mutex> lock(mutex);
            order.push_back(i);
            threads.push_back(std::this_thread::get_id());
        });
    ASSERT_TRUE(eventually([&] { return !worker.busy(); }));
    std::lock_guard<std::mutex> lock(mutex);
    ASSERT_EQ(order.size(), 50u);
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(order[i], i);
        EXPECT_EQ(threads[i], threads[0]);
    }
    EXPECT_NE(threads[0], std::this_thread::get_id());
}

TEST(RemoteCallWorker, PollRunsOncePerPeriodAndNeverBesideAJob)
{
    RemoteCallWorker worker(20ms);
    std::atomic<int> polls{0};
    std::atomic<bool> inJob{false};
    std::atomic<bool> overlap{false};
    worker.start([&] {
        if (inJob)
            overlap = true;
        ++polls;
    });
    for (int i = 0; i < 5; ++i)
        worker.post([&] {
            inJob = true;
            std::this_thread::sleep_for(30ms);
            inJob = false;
        });
    ASSERT_TRUE(eventually([&] { return polls >= 5; }));
    EXPECT_FALSE(overlap);
}

TEST(RemoteCallWorker, StopWaitsForTheRunningJobAndDropsTheRest)
{
    RemoteCallWorker worker;
    worker.start({});
    std::promise<void> started;
    std::atomic<bool> finished{false};
    std::atomic<int> later{0};
    worker.post([&] {
        started.set_value();
        std::this_thread::sleep_for(100ms);
        finished = true;
    });
    worker.post([&] { ++later; });
    started.get_future().wait();
    worker.stop();
    EXPECT_TRUE(finished);
    worker.post([&] { ++later; });
    worker.stop();
    EXPECT_EQ(later, 0);
}

TEST(RemoteCallWorker, AThrowingJobLeavesTheThreadServing)
{
    RemoteCallWorker worker;
    worker.start({});
    std::atomic<bool> ran{false};
    worker.post([] { throw std::runtime_error("call failed"); });
    worker.post([&] { ran = true; });
    EXPECT_TRUE(eventually([&] { return ran.load(); }));
}

} // namespace
