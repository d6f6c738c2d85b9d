#include "message_codec.h"

#include <omniORB4/cdrStream.h>

void MessageCodec::decode(const CORBA::Any& value, KOV::Message& message)
{
    cdrMemoryStream stream;
    value.NP_marshalDataOnly(stream);

    CORBA::String_var text = stream.unmarshalString(0);
    CORBA::ULong priority;
    priority <<= stream;
    if (priority > static_cast<CORBA::ULong>(ALARM))
        throw CORBA::MARSHAL(0, CORBA::COMPLETED_NO);
    CORBA::ULongLong arrival;
    arrival <<= stream;

    message.text = text._retn();
    message.priority = static_cast<MessagePriority>(priority);
    message.arrival_time = arrival;
}

void MessageCodec::encode(const KOV::Message& message, CORBA::Any& value)
{
    cdrMemoryStream stream;
    stream.marshalString(message.text, 0);
    CORBA::ULong(message.priority) >>= stream;
    message.arrival_time >>= stream;

    CORBA::Any result(KOV::_tc_Message, nullptr);
    result.NP_unmarshalDataOnly(stream);
    value = result;
}
