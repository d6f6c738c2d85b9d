#ifndef KOVSIM_EVENT_FACTORY_H
#define KOVSIM_EVENT_FACTORY_H

#include "outgoing_event.h"

#include <kov.hh>

#include <string>

// A KOV::HousekeepingData as it goes on the wire. The housing is a plain
// number so that one no HousingID names (a faulty instrument) can be sent:
// such a value in the enum itself would be undefined behaviour.
struct WireReading {
    CORBA::ULong housing = 0;
    CORBA::Double temp = 0.0;
    CORBA::Double rh = 0.0;
    bool water = false;
    TimeBase::TimeT time = 0;
};

// Wraps the instrument's payloads into channel events. Messages go through
// MessageCodec so that texts beyond the 128-character bound travel whole.
class EventFactory {
public:
    // The ORB builds the TypeCode of the "unknown" struct.
    explicit EventFactory(CORBA::ORB_ptr orb);

    OutgoingEvent reading(const WireReading& reading) const;
    OutgoingEvent message(const KOV::Message& message) const;
    OutgoingEvent instrumentEvent(const KOV::Event& record) const;
    OutgoingEvent text(const std::string& text) const;

    // A struct with the member types and names of KOV::Message under a
    // repository id the client does not know ("IDL:KOVSIM/Unknown:1.0").
    OutgoingEvent unknown(const std::string& text) const;

    // Seconds since 1970-01-01 00:00:00 UTC.
    static TimeBase::TimeT now();

    static const char* const unknownRepositoryId;

private:
    static OutgoingEvent wrap(const char* tag, const CORBA::Any& value, std::string summary);

    CORBA::TypeCode_var unknownType_;
};

#endif
