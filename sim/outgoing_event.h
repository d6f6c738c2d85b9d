#ifndef KOVSIM_OUTGOING_EVENT_H
#define KOVSIM_OUTGOING_EVENT_H

#include <event_comm.hh>

#include <string>

// An event ready for the channel, with the fields part of its report line
// (e.g. "kind=reading housing=0 temp=20.512 ...").
struct OutgoingEvent {
    Event_Comm::Event event;
    std::string summary;
    std::size_t bytes = 0; // of its text, for the bound of a consumer's queue
};

#endif
