#ifndef KOVSIM_NOTIFIER_I_H
#define KOVSIM_NOTIFIER_I_H

#include "event_sink.h"

#include <event_comm.hh>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class SimLog;
class Subscriber;

// The event channel: keeps the subscribed consumers and hands every event
// to each of them. Delivery runs on one thread per consumer (Subscriber), so
// no lock is ever held across a remote call.
class Notifier_i : public POA_Event_Comm::Notifier, public EventSink {
public:
    // With `backpressure`, a consumer whose queue is full holds publish()
    // until there is room (at most the call time limit) before it is dropped.
    Notifier_i(SimLog& log, unsigned long callTimeoutMs, bool backpressure = false);
    ~Notifier_i() override;

    // Event_Comm::Notifier
    void disconnect(const char* reason) override;
    void push(const Event_Comm::Event& ev) override;
    void unsubscribe(Event_Comm::Consumer_ptr subscriber, const char* criteria) override;
    void subscribe(Event_Comm::Consumer_ptr subscriber, const char* criteria) override;

    // EventSink: one "push" report line, then the event goes to every consumer.
    void publish(const OutgoingEvent& event) override;
    std::size_t consumers() const override;

    // Calls "disconnect" with `reason` on every consumer (after what is queued
    // for it) and forgets them all. Answers how many there were.
    std::size_t dropAll(const std::string& reason);

    // The next "subscribe" is refused with this reason (may be empty).
    void refuseNext(const std::string& reason);

    // One report line per subscriber ("consumer id=... criteria=... pending=...").
    std::size_t list();

    // Stops every delivery thread; calls under way end within the time limit.
    void shutdown();

    // A consumer that falls this far behind is dropped: this many events,
    // or (beyond one event) this many bytes of their texts.
    static constexpr std::size_t maxPending = 10000;
    static constexpr std::size_t maxPendingBytes = 64 * 1024 * 1024;

private:
    using SubscriberPtr = std::shared_ptr<Subscriber>;

    std::vector<SubscriberPtr> snapshot() const;
    SubscriberPtr find(Event_Comm::Consumer_ptr consumer) const;
    void forget(Subscriber& subscriber, const std::string& reason);
    void reapFinished();

    SimLog& log_;
    const unsigned long callTimeoutMs_;
    const bool backpressure_;

    std::mutex publishMutex_; // keeps report order = delivery order
    unsigned long long sequence_ = 0;

    mutable std::mutex mutex_; // guards everything below
    std::vector<SubscriberPtr> subscribers_;
    std::vector<SubscriberPtr> retired_; // dropped, thread not yet joined
    std::optional<std::string> refusal_;
    int nextId_ = 1;
    bool shutDown_ = false;
};

#endif
