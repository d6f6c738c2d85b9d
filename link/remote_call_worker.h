#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// The one thread that makes the client's remote calls to the instrument side
// once the window is up. Events reach the window through a synchronous
// hand-off on the GUI thread, so a call made there would stall the event
// stream for as long as the instrument takes to answer; here the calls run
// one at a time, in the order they were posted, never beside each other.
//
// Besides the posted jobs the thread runs a poll once a period while no job
// waits (the instrument's elapsed ON time). Jobs must not wait for the GUI
// thread: they hand results back with a queued call.
class RemoteCallWorker {
public:
    using Job = std::function<void()>;

    explicit RemoteCallWorker(std::chrono::milliseconds pollPeriod = std::chrono::seconds(1));
    ~RemoteCallWorker();

    RemoteCallWorker(const RemoteCallWorker&) = delete;
    RemoteCallWorker& operator=(const RemoteCallWorker&) = delete;

    // Starts the thread with its poll (may be empty). Once only.
    void start(Job poll);

    // Runs `job` on the thread after every job posted before it. Dropped
    // once stop() has begun.
    void post(Job job);

    // Ends the thread: the job or poll running now finishes (the calls are
    // bounded by the ORB's call time limit), jobs still queued are dropped.
    // Harmless when repeated or never started.
    void stop();

    // True while a job is queued or running (not counting the poll).
    bool busy() const;

private:
    void loop();
    static void runGuarded(const Job& job);

    const std::chrono::milliseconds period_;
    Job poll_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Job> jobs_;
    bool running_ = false; // a job, not the poll
    bool stopping_ = false;
    std::thread thread_;
};
