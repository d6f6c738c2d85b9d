#ifndef KOVSIM_EVENT_SINK_H
#define KOVSIM_EVENT_SINK_H

#include "outgoing_event.h"

#include <cstddef>

// Where the traffic generator and the control channel put their events.
class EventSink {
public:
    virtual ~EventSink() = default;
    virtual void publish(const OutgoingEvent& event) = 0;
    // How many consumers are listening right now.
    virtual std::size_t consumers() const = 0;
};

#endif
