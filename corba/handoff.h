#ifndef KOV_CORBA_HANDOFF_H
#define KOV_CORBA_HANDOFF_H

#include <QObject>
#include <omniORB4/CORBA.h>

#include <atomic>
#include <exception>
#include <functional>
#include <memory>

// Receiver of the hand-off; the main dialog implements it. OnEvent runs on
// the thread of the Handoff object (the GUI thread). Both pointers are
// valid only during the call: copy what is needed, keep nothing.
class HandoffReceiver {
public:
    virtual ~HandoffReceiver() = default;
    virtual void OnEvent(const CORBA::TypeCode* type, const void* value) = 0;
};

// Synchronous hand-off of one payload from an ORB thread to the receiver
// living on the GUI thread (user message 5). send() returns only after the
// receiver's OnEvent has returned, which keeps the sender's pointers valid
// and serialises event handling with the rest of the GUI thread's work.
//
// Why not Qt::BlockingQueuedConnection: it deadlocks when the sender is on
// the receiving thread and hangs forever once the GUI loop has stopped.
// Here a sender on the Handoff's own thread calls the receiver directly,
// and close() releases every sender still waiting for a loop that will
// not run again (program exit); from then on every send is dropped.
//
// The object lives on the GUI thread; setReceiver and the destructor run
// there. send, close, setReceiverUp and isReceiverUp are thread-safe. At
// exit: close(), end the ORB threads, then destroy the Handoff.
class Handoff : public QObject {
    Q_OBJECT

public:
    explicit Handoff(HandoffReceiver* receiver = nullptr, QObject* parent = nullptr);
    ~Handoff() override;

    // GUI thread only. A null receiver makes delivered payloads vanish.
    void setReceiver(HandoffReceiver* receiver);

    // Delivers (type, value) to the receiver and waits until it has handled
    // them. Returns true when the receiver was called, false when the
    // hand-off was dropped because of close(). An exception thrown by the
    // receiver is rethrown to the sender, never into the GUI event loop.
    bool send(const CORBA::TypeCode* type, const void* value);

    // Runs `call` on the Handoff's thread, in turn with the payloads, and
    // waits for its end, with the same answers and exceptions as send. For
    // what an ORB thread must have done on the GUI thread (the loss of the
    // link).
    bool invoke(std::function<void()> call);

    // Ends the hand-off for good: waiting senders whose payload has not yet
    // reached the receiver return false, later sends are dropped. A sender
    // whose payload is being handled right now still waits for the end of
    // that call. Does not wait itself; callable from any thread.
    void close();
    bool isClosed() const;

    // The window-state gate: set by the GUI thread when the receiver's
    // window comes up or goes away, read by the ORB thread.
    void setReceiverUp(bool up);
    bool isReceiverUp() const;

private:
    struct Shared;
    struct Request;

    bool deliver(Request& request);
    bool queueAndWait(Request& request);
    void deliverNext();
    std::exception_ptr handle(const Request& request);

    HandoffReceiver* receiver_;
    std::shared_ptr<Shared> shared_;
    std::atomic<bool> receiverUp_;
};

#endif
