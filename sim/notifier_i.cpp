#include "notifier_i.h"

#include "sim_log.h"
#include "subscriber.h"

#include <algorithm>

Notifier_i::Notifier_i(SimLog& log, unsigned long callTimeoutMs, bool backpressure)
    : log_(log), callTimeoutMs_(callTimeoutMs), backpressure_(backpressure)
{}

Notifier_i::~Notifier_i()
{
    shutdown();
}

void Notifier_i::subscribe(Event_Comm::Consumer_ptr subscriber, const char* criteria)
{
    const std::string wanted = criteria ? criteria : "";
    std::unique_lock<std::mutex> lock(mutex_);
    if (refusal_) {
        const std::string reason = *refusal_;
        refusal_.reset();
        lock.unlock();
        log_.line("subscribe-refused reason=" + SimLog::quoted(reason));
        throw Event_Comm::Notifier::CannotSubscribe(reason.c_str());
    }
    if (CORBA::is_nil(subscriber) || shutDown_) {
        const std::string reason = shutDown_ ? "notifier is shutting down" : "nil consumer reference";
        lock.unlock();
        log_.line("subscribe-refused reason=" + SimLog::quoted(reason));
        throw Event_Comm::Notifier::CannotSubscribe(reason.c_str());
    }
    // A consumer that subscribes again keeps its one subscription.
    SubscriberPtr existing;
    for (const SubscriberPtr& s : subscribers_)
        if (s->refersTo(subscriber))
            existing = s;
    int id = 0;
    if (existing) {
        existing->setCriteria(wanted);
        id = existing->id();
    } else {
        id = nextId_++;
        subscribers_.push_back(
            std::make_shared<Subscriber>(id, subscriber, wanted, callTimeoutMs_, maxPending, maxPendingBytes,
                log_, [this](Subscriber& s, const std::string& reason) { forget(s, reason); }));
    }
    const std::size_t count = subscribers_.size();
    lock.unlock();
    log_.line("subscribe consumer=" + std::to_string(id) + " criteria=" + SimLog::quoted(wanted) +
        " subscribers=" + std::to_string(count) + (existing ? " again=1" : ""));
}

void Notifier_i::unsubscribe(Event_Comm::Consumer_ptr subscriber, const char* criteria)
{
    const std::string given = criteria ? criteria : "";
    std::string refusal;
    SubscriberPtr found;
    std::size_t count = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it =
            std::find_if(subscribers_.begin(), subscribers_.end(), [subscriber](const SubscriberPtr& s) {
                return !CORBA::is_nil(subscriber) && s->refersTo(subscriber);
            });
        if (it == subscribers_.end())
            refusal = "consumer is not subscribed";
        else if ((*it)->criteria() != given)
            refusal = "criteria " + SimLog::quoted(given) + " differ from the subscription's " +
                SimLog::quoted((*it)->criteria());
        else {
            found = *it;
            subscribers_.erase(it);
            retired_.push_back(found);
            count = subscribers_.size();
        }
    }
    if (!found) {
        log_.line("unsubscribe-refused reason=" + SimLog::quoted(refusal));
        throw Event_Comm::Notifier::CannotUnsubscribe(refusal.c_str());
    }
    found->stop();
    log_.line("unsubscribe consumer=" + std::to_string(found->id()) + " criteria=" + SimLog::quoted(given) +
        " subscribers=" + std::to_string(count));
}

void Notifier_i::disconnect(const char* reason)
{
    const std::string text = reason ? reason : "";
    log_.line("notifier-disconnect reason=" + SimLog::quoted(text));
    dropAll(text);
}

void Notifier_i::push(const Event_Comm::Event& ev)
{
    OutgoingEvent out;
    out.event = ev;
    out.summary = "kind=supplier tag=" + SimLog::quoted(static_cast<const char*>(ev.tag_));
    publish(out);
}

void Notifier_i::publish(const OutgoingEvent& event)
{
    std::vector<SubscriberPtr> overflowing;
    {
        std::lock_guard<std::mutex> publishLock(publishMutex_);
        reapFinished();
        const std::vector<SubscriberPtr> targets = snapshot();
        ++sequence_;
        log_.line("push seq=" + std::to_string(sequence_) + " consumers=" + std::to_string(targets.size()) +
            " " + event.summary);
        const std::chrono::milliseconds wait(backpressure_ ? callTimeoutMs_ : 0);
        for (const SubscriberPtr& s : targets)
            if (!s->enqueue(event.event, event.bytes, wait))
                overflowing.push_back(s);
    }
    for (const SubscriberPtr& s : overflowing) {
        const std::string reason = "too slow: " + std::to_string(maxPending) + " events or " +
            std::to_string(maxPendingBytes >> 20) + " MiB of text pending";
        forget(*s, reason);
        s->abandon(reason);
    }
}

std::size_t Notifier_i::consumers() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return subscribers_.size();
}

std::size_t Notifier_i::dropAll(const std::string& reason)
{
    std::vector<SubscriberPtr> dropped;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        dropped.swap(subscribers_);
        retired_.insert(retired_.end(), dropped.begin(), dropped.end());
    }
    for (const SubscriberPtr& s : dropped) {
        log_.line("drop consumer=" + std::to_string(s->id()) + " reason=" + SimLog::quoted(reason));
        s->finish(reason);
    }
    return dropped.size();
}

void Notifier_i::refuseNext(const std::string& reason)
{
    std::lock_guard<std::mutex> lock(mutex_);
    refusal_ = reason;
}

std::size_t Notifier_i::list()
{
    const std::vector<SubscriberPtr> current = snapshot();
    for (const SubscriberPtr& s : current)
        log_.line("consumer id=" + std::to_string(s->id()) + " criteria=" + SimLog::quoted(s->criteria()) +
            " pending=" + std::to_string(s->pending()));
    return current.size();
}

void Notifier_i::shutdown()
{
    std::vector<SubscriberPtr> all;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        shutDown_ = true;
        all.swap(subscribers_);
        all.insert(all.end(), retired_.begin(), retired_.end());
        retired_.clear();
    }
    for (const SubscriberPtr& s : all)
        s->stop();
    // Joins happen here, outside the lock: a delivery thread that is failing
    // right now still needs the lock to forget itself.
    all.clear();
}

std::vector<Notifier_i::SubscriberPtr> Notifier_i::snapshot() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return subscribers_;
}

void Notifier_i::forget(Subscriber& subscriber, const std::string& reason)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = std::find_if(subscribers_.begin(), subscribers_.end(),
            [&subscriber](const SubscriberPtr& s) { return s.get() == &subscriber; });
        if (it == subscribers_.end())
            return;
        retired_.push_back(*it);
        subscribers_.erase(it);
    }
    log_.line("drop consumer=" + std::to_string(subscriber.id()) + " reason=" + SimLog::quoted(reason));
}

void Notifier_i::reapFinished()
{
    std::vector<SubscriberPtr> done;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto firstDone = std::stable_partition(
            retired_.begin(), retired_.end(), [](const SubscriberPtr& s) { return !s->finished(); });
        done.assign(firstDone, retired_.end());
        retired_.erase(firstDone, retired_.end());
    }
    // The joins (immediate: these threads have ended) happen here, unlocked.
}
