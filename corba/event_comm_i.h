#ifndef KOV_CORBA_EVENT_COMM_I_H
#define KOV_CORBA_EVENT_COMM_I_H

#include <event_comm.hh>

// Called by Consumer_i when the notifier disconnects the consumer.
class ShutdownCallback {
public:
    virtual ~ShutdownCallback() = default;
    virtual void close() = 0;
};

// Plain Event_Comm::Consumer servant: logs what arrives. The client's own
// servant (KOVEventConsumer_i) replaces both operations.
class Consumer_i : public POA_Event_Comm::Consumer {
public:
    Consumer_i() = default;
    ~Consumer_i() override = default;

    // Not owned.
    void set_shutdown(ShutdownCallback* callback);

    void push(const Event_Comm::Event& ev) override;
    void disconnect(const char* reason) override;

protected:
    ShutdownCallback* shutdown = nullptr;
};

#endif
