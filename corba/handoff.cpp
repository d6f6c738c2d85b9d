#include "handoff.h"

#include <QThread>

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <utility>

// State shared with the senders, guarded by `mutex`. Held through a
// shared_ptr so that a sender released by close() can still take the lock
// after the Handoff is gone. The payloads travel through `pending`, not
// through Qt's event queue, so that every hand-over between the threads is
// ordered by this mutex; a queued call only wakes the GUI thread, and only
// one is on its way at a time (`wakePosted`).
struct Handoff::Shared {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Request*> pending;
    bool closed = false;
    bool wakePosted = false;
};

// One call on its way. It lives on its sender's stack: the sender leaves
// only once the GUI thread is done with it or close() has taken it out of
// `pending` before the GUI thread saw it. The flags are guarded by
// Shared::mutex.
struct Handoff::Request {
    const CORBA::TypeCode* type = nullptr;
    const void* value = nullptr;
    const std::function<void()>* call = nullptr; // set for invoke, else a payload
    bool running = false;
    bool done = false;
    std::exception_ptr error;
};

Handoff::Handoff(HandoffReceiver* receiver, QObject* parent)
    : QObject(parent), receiver_(receiver), shared_(std::make_shared<Shared>()), receiverUp_(false)
{}

Handoff::~Handoff()
{
    // Queued deliveries die with this object; their senders must not wait.
    close();
}

void Handoff::setReceiver(HandoffReceiver* receiver)
{
    receiver_ = receiver;
}

bool Handoff::send(const CORBA::TypeCode* type, const void* value)
{
    Request request;
    request.type = type;
    request.value = value;
    return deliver(request);
}

bool Handoff::invoke(std::function<void()> call)
{
    Request request;
    request.call = &call;
    return deliver(request);
}

bool Handoff::deliver(Request& request)
{
    if (QThread::currentThread() == thread()) {
        // Already on the receiver's thread: waiting would deadlock.
        if (isClosed())
            return false;
        request.error = handle(request);
    } else if (!queueAndWait(request)) {
        return false;
    }
    // error was written under the lock that was held when done was set.
    if (request.error)
        std::rethrow_exception(request.error);
    return true;
}

// Runs on the sender's thread, until the receiver has handled the request
// (true) or close() has made it pointless to wait (false).
bool Handoff::queueAndWait(Request& request)
{
    // Kept by this sender, so that close() from the destructor can still
    // release it.
    std::shared_ptr<Shared> shared = shared_;
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(shared->mutex);
        if (shared->closed)
            return false;
        shared->pending.push_back(&request);
        wake = !std::exchange(shared->wakePosted, true);
    }
    // Outside the lock: posting wakes the GUI thread, which at once wants
    // the lock.
    if (wake)
        QMetaObject::invokeMethod(this, &Handoff::deliverNext, Qt::QueuedConnection);

    std::unique_lock<std::mutex> lock(shared->mutex);
    shared->changed.wait(lock, [&] { return request.done || (shared->closed && !request.running); });
    return request.done;
}

// Runs on the Handoff's thread: one request per event-loop pass, so that a
// flood from several senders still lets the window paint in between.
void Handoff::deliverNext()
{
    std::shared_ptr<Shared> shared = shared_;
    Request* request = nullptr;
    bool more = false;
    {
        std::lock_guard<std::mutex> lock(shared->mutex);
        // close() has emptied the queue: those senders are gone already.
        if (shared->pending.empty()) {
            shared->wakePosted = false;
            return;
        }
        request = shared->pending.front();
        shared->pending.pop_front();
        request->running = true;
        // Another wake-up is needed for the rest, posted once this one is done.
        more = !shared->pending.empty();
        shared->wakePosted = more;
    }
    const std::exception_ptr error = handle(*request);
    {
        std::lock_guard<std::mutex> lock(shared->mutex);
        request->error = error;
        request->done = true;
    }
    // After unlocking, so that the woken sender does not block on the lock
    // again; `request` may be gone by now, `shared` is ours.
    shared->changed.notify_all();
    if (more)
        QMetaObject::invokeMethod(this, &Handoff::deliverNext, Qt::QueuedConnection);
}

// Makes the call on the Handoff's thread.
std::exception_ptr Handoff::handle(const Request& request)
{
    try {
        if (request.call != nullptr)
            (*request.call)();
        else if (receiver_ != nullptr)
            receiver_->OnEvent(request.type, request.value);
    } catch (...) {
        // An exception must not unwind through the event loop.
        return std::current_exception();
    }
    return nullptr;
}

void Handoff::close()
{
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->closed = true;
        // Payloads not yet taken are never delivered: their senders return
        // now and their pointers die with them.
        shared_->pending.clear();
    }
    shared_->changed.notify_all();
}

bool Handoff::isClosed() const
{
    std::lock_guard<std::mutex> lock(shared_->mutex);
    return shared_->closed;
}

void Handoff::setReceiverUp(bool up)
{
    receiverUp_.store(up);
}

bool Handoff::isReceiverUp() const
{
    return receiverUp_.load();
}
