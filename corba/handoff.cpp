#include "handoff.h"

#include <QThread>

#include <condition_variable>
#include <exception>
#include <mutex>

// State shared with the senders. Held through a shared_ptr so that a sender
// released by close() can still take the lock after the Handoff is gone.
struct Handoff::Shared
{
  std::mutex mutex;
  std::condition_variable changed;
  bool closed = false;
};

// One payload on its way. The flags are guarded by Shared::mutex.
struct Handoff::Request
{
  const CORBA::TypeCode *type;
  const void *value;
  bool running = false;
  bool done = false;
  bool abandoned = false;
  std::exception_ptr error;
};

Handoff::Handoff (HandoffReceiver *receiver, QObject *parent)
  : QObject (parent),
    receiver_ (receiver),
    shared_ (std::make_shared<Shared> ()),
    receiverUp_ (false)
{
}

Handoff::~Handoff ()
{
  // Queued deliveries die with this object; their senders must not wait.
  close ();
}

void
Handoff::setReceiver (HandoffReceiver *receiver)
{
  receiver_ = receiver;
}

bool
Handoff::send (const CORBA::TypeCode *type, const void *value)
{
  // Kept by this sender, so that close() from the destructor can still
  // release it.
  std::shared_ptr<Shared> shared = shared_;
  if (isClosed ())
    return false;

  auto request = std::make_shared<Request> ();
  request->type = type;
  request->value = value;

  if (QThread::currentThread () == thread ())
    {
      // Already on the receiver's thread: waiting would deadlock.
      deliver (request);
    }
  else
    {
      QMetaObject::invokeMethod (this, [this, request] { deliver (request); },
                                 Qt::QueuedConnection);
      waitFor (*shared, request);
    }

  // done and error were last written under the lock that waitFor or
  // deliver has released since.
  if (!request->done)
    return false;
  if (request->error)
    std::rethrow_exception (request->error);
  return true;
}

// Runs on the Handoff's thread.
void
Handoff::deliver (const std::shared_ptr<Request> &request)
{
  std::shared_ptr<Shared> shared = shared_;
  {
    std::lock_guard<std::mutex> lock (shared->mutex);
    // The sender gave up (close); its pointers may be gone already.
    if (request->abandoned || shared->closed)
      {
        request->abandoned = true;
        shared->changed.notify_all ();
        return;
      }
    request->running = true;
  }

  std::exception_ptr error;
  try
    {
      if (receiver_ != nullptr)
        receiver_->OnEvent (request->type, request->value);
    }
  catch (...)
    {
      // An exception must not unwind through the event loop.
      error = std::current_exception ();
    }

  std::lock_guard<std::mutex> lock (shared->mutex);
  request->error = error;
  request->done = true;
  shared->changed.notify_all ();
}

// Runs on the sender's thread, until the receiver has handled the request
// or close() has made it pointless to wait.
void
Handoff::waitFor (Shared &shared, const std::shared_ptr<Request> &request)
{
  std::unique_lock<std::mutex> lock (shared.mutex);
  shared.changed.wait (lock, [&] {
    return request->done || request->abandoned || (shared.closed && !request->running);
  });
  if (!request->done)
    request->abandoned = true;
}

void
Handoff::close ()
{
  std::lock_guard<std::mutex> lock (shared_->mutex);
  shared_->closed = true;
  shared_->changed.notify_all ();
}

bool
Handoff::isClosed () const
{
  std::lock_guard<std::mutex> lock (shared_->mutex);
  return shared_->closed;
}

void
Handoff::setReceiverUp (bool up)
{
  receiverUp_.store (up);
}

bool
Handoff::isReceiverUp () const
{
  return receiverUp_.load ();
}
