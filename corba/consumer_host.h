#ifndef KOV_CORBA_CONSUMER_HOST_H
#define KOV_CORBA_CONSUMER_HOST_H

#include <omniORB4/CORBA.h>

// What the event consumer servant needs from the application object. The
// servant calls all three on the ORB thread.
class ConsumerHost {
public:
    virtual ~ConsumerHost() = default;

    // True while the main dialog's window is up. Read on the ORB thread, so
    // it must be thread-safe (an atomic flag set by the GUI thread, never a
    // widget query). Events arriving while it is false are dropped.
    virtual bool IsWindowUp() const = 0;

    // Hands one decoded payload to the main dialog (user message 5, 1029)
    // and returns only after the dialog's handler has returned. `type` is
    // the payload's TypeCode (that of string for a text), `value` the
    // payload: a KOV::Event, KOV::Message, KOV::HousekeepingData or a
    // NUL-terminated text. Both belong to the caller and are valid only
    // during the call. May raise a CORBA::Exception thrown by the handler.
    virtual void HandOff(const CORBA::TypeCode* type, const void* value) = 0;

    // The link to the instrument is lost: called at the end of the event
    // channel's "disconnect".
    virtual void DropLink() = 0;
};

#endif
