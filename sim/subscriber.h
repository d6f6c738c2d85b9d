#ifndef KOVSIM_SUBSCRIBER_H
#define KOVSIM_SUBSCRIBER_H

#include <event_comm.hh>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

class SimLog;

// One subscribed consumer with its own delivery thread and queue, so that a
// slow or hung consumer delays nobody but itself. Every remote call to the
// consumer is made on that thread, outside any lock, and is bounded by the
// per-object call time limit set on the consumer's reference.
class Subscriber {
public:
    // Called on the delivery thread when a push fails; the owner forgets the
    // subscriber (without joining it: that happens later, from another thread).
    using FailureHandler = std::function<void(Subscriber&, const std::string& reason)>;

    // The queue holds at most maxPending events and, beyond one event,
    // maxPendingBytes of their texts.
    Subscriber(int id, Event_Comm::Consumer_ptr consumer, std::string criteria, unsigned long callTimeoutMs,
        std::size_t maxPending, std::size_t maxPendingBytes, SimLog& log, FailureHandler onFailure);
    ~Subscriber(); // stops and joins the delivery thread

    Subscriber(const Subscriber&) = delete;
    Subscriber& operator=(const Subscriber&) = delete;

    int id() const { return id_; }
    std::string criteria() const;
    void setCriteria(const std::string& criteria);
    bool refersTo(Event_Comm::Consumer_ptr other) const;

    // Queues one event with `bytes` of text, waiting up to `wait` for room
    // in a full queue; false when it stays full (the consumer is too slow).
    bool enqueue(const Event_Comm::Event& event, std::size_t bytes = 0, std::chrono::milliseconds wait = {});
    std::size_t pending() const;

    // Delivers what is queued, then calls the consumer's "disconnect" with
    // `reason` and ends the thread.
    void finish(const std::string& reason);

    // Discards what is queued, then calls "disconnect" with `reason` and ends.
    void abandon(const std::string& reason);

    // Discards what is queued and ends the thread after the call under way.
    void stop();

    // True once the delivery thread has nothing more to do.
    bool finished() const { return finished_; }

private:
    void queueDisconnect(const std::string& reason);
    struct Item {
        bool disconnect = false;
        Event_Comm::Event event;
        std::size_t bytes = 0;
        std::string reason;
    };

    // The caller holds mutex_.
    bool hasRoom(std::size_t bytes) const;
    void clearQueue();

    void run();
    bool nextItem(Item& item);
    bool deliver(const Event_Comm::Event& event);
    void callDisconnect(const std::string& reason);

    const int id_;
    Event_Comm::Consumer_var consumer_;
    const std::size_t maxPending_;
    const std::size_t maxPendingBytes_;
    SimLog& log_;
    FailureHandler onFailure_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable room_; // the queue shrank, or the subscriber is ending
    std::deque<Item> queue_;
    std::size_t queuedBytes_ = 0;
    std::string criteria_;
    bool stopping_ = false;
    bool closing_ = false; // a final "disconnect" is queued
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

#endif
