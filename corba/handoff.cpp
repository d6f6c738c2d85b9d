#include "handoff.h"

#include <QThread>

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>

// State shared with the senders, guarded by `mutex`. Held through a
// shared_ptr so that a sender released by close() can still take the lock
// after the Handoff is gone. The payloads travel through `pending`, not
// through Qt's event queue, so that every hand-over between the threads is
// ordered by this mutex; the queued call only wakes the GUI thread.
struct Handoff::Shared {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::shared_ptr<Request>> pending;
    bool closed = false;
};

// One call on its way; the flags are guarded by Shared::mutex.
struct Handoff::Request {
    std::function<void()> call;
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
    // receiver_ is read when the call runs, on the Handoff's thread.
    return deliver([this, type, value] {
        if (receiver_ != nullptr)
            receiver_->OnEvent(type, value);
    });
}

bool Handoff::invoke(std::function<void()> call)
{
    return deliver(std::move(call));
}

bool Handoff::deliver(std::function<void()> call)
{
    // Kept by this sender, so that close() from the destructor can still
    // release it.
    std::shared_ptr<Shared> shared = shared_;
    auto request = std::make_shared<Request>();
    request->call = std::move(call);

    if (QThread::currentThread() == thread()) {
        // Already on the receiver's thread: waiting would deadlock.
        if (isClosed())
            return false;
        run(*shared, *request);
    } else {
        {
            std::lock_guard<std::mutex> lock(shared->mutex);
            if (shared->closed)
                return false;
            shared->pending.push_back(request);
        }
        QMetaObject::invokeMethod(this, "deliverNext", Qt::QueuedConnection);
        if (!waitFor(*shared, *request))
            return false;
    }

    // error was written under the lock that run() released before done.
    if (request->error)
        std::rethrow_exception(request->error);
    return true;
}

// Runs on the Handoff's thread, once per queued payload.
void Handoff::deliverNext()
{
    std::shared_ptr<Shared> shared = shared_;
    std::shared_ptr<Request> request;
    {
        std::lock_guard<std::mutex> lock(shared->mutex);
        // close() has emptied the queue: those senders are gone already.
        if (shared->pending.empty())
            return;
        request = shared->pending.front();
        shared->pending.pop_front();
        request->running = true;
    }
    run(*shared, *request);
}

// Makes the call on the Handoff's thread and reports the end.
void Handoff::run(Shared& shared, Request& request)
{
    std::exception_ptr error;
    try {
        request.call();
    } catch (...) {
        // An exception must not unwind through the event loop.
        error = std::current_exception();
    }

    std::lock_guard<std::mutex> lock(shared.mutex);
    request.error = error;
    request.done = true;
    shared.changed.notify_all();
}

// Runs on the sender's thread, until the receiver has handled the request
// (true) or close() has made it pointless to wait (false).
bool Handoff::waitFor(Shared& shared, const Request& request)
{
    std::unique_lock<std::mutex> lock(shared.mutex);
    shared.changed.wait(lock, [&] { return request.done || (shared.closed && !request.running); });
    return request.done;
}

void Handoff::close()
{
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->closed = true;
    // Payloads not yet taken are never delivered: their senders return now
    // and their pointers die with them.
    shared_->pending.clear();
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
