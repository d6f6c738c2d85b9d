#ifndef KOV_CORBA_KOVEVTCONSUMER_I_H
#define KOV_CORBA_KOVEVTCONSUMER_I_H

#include "event_comm_i.h"

class ConsumerHost;

// The client's Event_Comm::Consumer servant: decodes each pushed payload
// and hands it synchronously to the main dialog through the host; turns
// the notifier's "disconnect" into a notice and the loss of the link.
// push and disconnect run on the ORB thread.
class KOVEventConsumer_i : public Consumer_i {
public:
    // `app` is not owned and must outlive the servant's activation.
    explicit KOVEventConsumer_i(ConsumerHost* app);
    ~KOVEventConsumer_i() override = default;

    void push(const Event_Comm::Event& ev) override;
    void disconnect(const char* reason) override;

private:
    void decode(const Event_Comm::Event& ev, CORBA::TypeCode_ptr type);
    void decodeStruct(const CORBA::Any& value, CORBA::TypeCode_ptr type);
    void decodeString(const CORBA::Any& value);

    ConsumerHost* app_;
};

#endif
