#include "subscriber.h"

#include "sim_log.h"

#include <omniORB4/omniORB.h>

Subscriber::Subscriber(int id, Event_Comm::Consumer_ptr consumer, std::string criteria,
    unsigned long callTimeoutMs, std::size_t maxPending, std::size_t maxPendingBytes, SimLog& log,
    FailureHandler onFailure)
    : id_(id),
      consumer_(Event_Comm::Consumer::_duplicate(consumer)),
      maxPending_(maxPending),
      maxPendingBytes_(maxPendingBytes),
      log_(log),
      onFailure_(std::move(onFailure)),
      criteria_(std::move(criteria))
{
    omniORB::setClientCallTimeout(consumer_.in(), static_cast<CORBA::ULong>(callTimeoutMs));
    thread_ = std::thread([this] { run(); });
}

Subscriber::~Subscriber()
{
    stop();
    if (thread_.joinable())
        thread_.join();
}

std::string Subscriber::criteria() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return criteria_;
}

void Subscriber::setCriteria(const std::string& criteria)
{
    std::lock_guard<std::mutex> lock(mutex_);
    criteria_ = criteria;
}

bool Subscriber::refersTo(Event_Comm::Consumer_ptr other) const
{
    // omniORB compares the references locally, without a remote call.
    return consumer_->_is_equivalent(other);
}

bool Subscriber::hasRoom(std::size_t bytes) const
{
    return queue_.size() < maxPending_ && (queuedBytes_ == 0 || queuedBytes_ + bytes <= maxPendingBytes_);
}

void Subscriber::clearQueue()
{
    queue_.clear();
    queuedBytes_ = 0;
}

bool Subscriber::enqueue(const Event_Comm::Event& event, std::size_t bytes, std::chrono::milliseconds wait)
{
    std::unique_lock<std::mutex> lock(mutex_);
    room_.wait_for(lock, wait, [this, bytes] { return stopping_ || closing_ || hasRoom(bytes); });
    if (stopping_ || closing_)
        return true;
    if (!hasRoom(bytes))
        return false;
    Item item;
    item.event = event;
    item.bytes = bytes;
    queuedBytes_ += bytes;
    queue_.push_back(std::move(item));
    wake_.notify_one();
    return true;
}

std::size_t Subscriber::pending() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return queue_.size();
}

void Subscriber::finish(const std::string& reason)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_ || closing_)
        return;
    queueDisconnect(reason);
}

void Subscriber::abandon(const std::string& reason)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_)
        return;
    clearQueue();
    queueDisconnect(reason);
}

// The caller holds mutex_.
void Subscriber::queueDisconnect(const std::string& reason)
{
    closing_ = true;
    room_.notify_all();
    Item item;
    item.disconnect = true;
    item.reason = reason;
    queue_.push_back(std::move(item));
    wake_.notify_one();
}

void Subscriber::stop()
{
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    clearQueue();
    wake_.notify_one();
    room_.notify_all();
}

bool Subscriber::nextItem(Item& item)
{
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (stopping_)
        return false;
    item = std::move(queue_.front());
    queue_.pop_front();
    queuedBytes_ -= item.bytes;
    room_.notify_all();
    return true;
}

void Subscriber::run()
{
    Item item;
    while (nextItem(item)) {
        if (item.disconnect) {
            callDisconnect(item.reason);
            break;
        }
        if (!deliver(item.event))
            break;
    }
    finished_ = true;
}

bool Subscriber::deliver(const Event_Comm::Event& event)
{
    std::string failure;
    try {
        consumer_->push(event);
        return true;
    } catch (const CORBA::Exception& ex) {
        failure = std::string("push failed: ") + ex._name();
    }
    // Forget the consumer first, so that nothing more is queued for it, then
    // tell it, in case it is merely slow rather than gone.
    {
        std::lock_guard<std::mutex> lock(mutex_);
        clearQueue();
        closing_ = true;
        room_.notify_all();
    }
    onFailure_(*this, failure);
    callDisconnect(failure);
    return false;
}

void Subscriber::callDisconnect(const std::string& reason)
{
    std::string result = "result=ok";
    try {
        consumer_->disconnect(reason.c_str());
    } catch (const CORBA::Exception& ex) {
        result = std::string("result=failed exception=") + ex._name();
    }
    log_.line("consumer-disconnect consumer=" + std::to_string(id_) + " " + result +
        " reason=" + SimLog::quoted(reason));
}
