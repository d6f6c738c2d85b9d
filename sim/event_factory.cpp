#include "event_factory.h"

#include "message_codec.h"
#include "sim_log.h"

#include <omniORB4/cdrStream.h>

#include <cstdio>
#include <ctime>

const char* const EventFactory::unknownRepositoryId = "IDL:KOVSIM/Unknown:1.0";

EventFactory::EventFactory(CORBA::ORB_ptr orb)
{
    CORBA::StructMemberSeq members;
    members.length(3);
    members[0].name = CORBA::string_dup("text");
    members[0].type = orb->create_string_tc(128);
    members[1].name = CORBA::string_dup("priority");
    members[1].type = CORBA::TypeCode::_duplicate(_tc_MessagePriority);
    members[2].name = CORBA::string_dup("arrival_time");
    members[2].type = CORBA::TypeCode::_duplicate(TimeBase::_tc_TimeT);
    unknownType_ = orb->create_struct_tc(unknownRepositoryId, "Message", members);
}

TimeBase::TimeT EventFactory::now()
{
    return static_cast<TimeBase::TimeT>(std::time(nullptr));
}

OutgoingEvent EventFactory::wrap(const char* tag, const CORBA::Any& value, std::string summary)
{
    OutgoingEvent out;
    out.event.tag_ = CORBA::string_dup(tag);
    out.event.value_ = value;
    out.event.object_ref_ = CORBA::Object::_nil();
    out.summary = std::move(summary);
    return out;
}

OutgoingEvent EventFactory::reading(const WireReading& reading) const
{
    // The struct's CDR form, member by member, under its own TypeCode.
    cdrMemoryStream stream;
    reading.housing >>= stream;
    reading.temp >>= stream;
    reading.rh >>= stream;
    stream.marshalBoolean(reading.water);
    reading.time >>= stream;
    CORBA::Any value(KOV::_tc_HousekeepingData, nullptr);
    value.NP_unmarshalDataOnly(stream);
    return wrap("housekeeping", value,
        "kind=reading housing=" + std::to_string(reading.housing) +
            " temp=" + SimLog::sensorValue(reading.temp) + " rh=" + SimLog::sensorValue(reading.rh) +
            " water=" + (reading.water ? "1" : "0") + " time=" + std::to_string(reading.time));
}

OutgoingEvent EventFactory::message(const KOV::Message& message) const
{
    CORBA::Any value;
    MessageCodec::encode(message, value);
    const std::string text = static_cast<const char*>(message.text);
    OutgoingEvent out = wrap("message", value,
        "kind=message priority=" + std::to_string(static_cast<int>(message.priority)) +
            " time=" + std::to_string(message.arrival_time) + " length=" + std::to_string(text.size()) +
            " text=" + SimLog::quotedHead(text));
    out.bytes = text.size();
    return out;
}

OutgoingEvent EventFactory::instrumentEvent(const KOV::Event& record) const
{
    CORBA::Any value;
    value <<= record;
    return wrap("event", value,
        "kind=event id=" + std::to_string(record.id) + " time=" + std::to_string(record.arrival_time) +
            " name=" + SimLog::quoted(static_cast<const char*>(record.name)));
}

OutgoingEvent EventFactory::text(const std::string& text) const
{
    CORBA::Any value;
    value <<= text.c_str();
    OutgoingEvent out = wrap("text", value, "kind=string text=" + SimLog::quotedHead(text));
    out.bytes = text.size();
    return out;
}

OutgoingEvent EventFactory::unknown(const std::string& text) const
{
    // Same layout as KOV::Message, written member by member like the codec.
    cdrMemoryStream stream;
    stream.marshalString(text.c_str(), 0);
    CORBA::ULong(MESSAGE) >>= stream;
    now() >>= stream;
    CORBA::Any value(unknownType_.in(), nullptr);
    value.NP_unmarshalDataOnly(stream);
    return wrap("unknown", value,
        std::string("kind=unknown id=") + unknownRepositoryId + " text=" + SimLog::quoted(text));
}
