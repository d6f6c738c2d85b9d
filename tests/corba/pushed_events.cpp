#include "pushed_events.h"

#include <omniORB4/cdrStream.h>

namespace PushedEvents {

KOV::Event instrumentEvent()
{
    KOV::Event e;
    e.id = 7;
    e.name = "shutter open";
    e.arrival_time = 1700000000ULL;
    return e;
}

KOV::Event failingEvent()
{
    KOV::Event e;
    e.id = -1;
    e.name = "receiver throws";
    e.arrival_time = 1ULL;
    return e;
}

KOV::Message shortMessage()
{
    KOV::Message m;
    m.text = "Lamp warm";
    m.priority = ALARM;
    m.arrival_time = 1700000001ULL;
    return m;
}

KOV::Message longMessage()
{
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += static_cast<char>('a' + i % 26);
    KOV::Message m;
    m.text = text.c_str();
    m.priority = WARNING;
    m.arrival_time = 0x0123456789ABCDEFULL;
    return m;
}

KOV::HousekeepingData reading(HousingID housing)
{
    KOV::HousekeepingData r;
    r.id = housing;
    const bool electronics = housing == ELECTRONICS_HOUSING;
    r.temp = electronics ? 23.7 : -1.0;
    r.rh = electronics ? 41.9 : 55.2;
    r.wateralarm = !electronics;
    r.readingTime = electronics ? 1700000002ULL : 1700000003ULL;
    return r;
}

const char* plainText()
{
    return "plain text payload";
}

std::string longReason()
{
    std::string reason;
    for (int i = 0; i < 200; ++i)
        reason += static_cast<char>('0' + i % 10);
    return reason;
}

namespace {

CORBA::StructMemberSeq messageMembers(const char* first, const char* second, const char* third)
{
    CORBA::StructMemberSeq members;
    members.length(3);
    members[0].name = first;
    members[0].type = KOV::_tc_Message->member_type(0);
    members[1].name = second;
    members[1].type = KOV::_tc_Message->member_type(1);
    members[2].name = third;
    members[2].type = KOV::_tc_Message->member_type(2);
    return members;
}

void fillUnknown(CORBA::ORB_ptr orb, CORBA::Any& value)
{
    CORBA::StructMemberSeq members;
    members.length(1);
    members[0].name = "count";
    members[0].type = CORBA::TypeCode::_duplicate(CORBA::_tc_long);
    CORBA::TypeCode_var type = orb->create_struct_tc("IDL:KOV/Other:1.0", "Other", members);
    cdrMemoryStream stream;
    CORBA::Long(5) >>= stream;
    CORBA::Any result(type.in(), nullptr);
    result.NP_unmarshalDataOnly(stream);
    value = result;
}

} // namespace

CORBA::TypeCode_ptr messageLookalikeById(CORBA::ORB_ptr orb)
{
    return orb->create_struct_tc(
        "IDL:KOV/Notice:1.0", "Message", messageMembers("text", "priority", "arrival_time"));
}

CORBA::TypeCode_ptr messageLookalikeByNames(CORBA::ORB_ptr orb)
{
    return orb->create_struct_tc(
        "IDL:KOV/Message:1.0", "Message", messageMembers("txt", "priority", "arrival_time"));
}

void encodeMessageAs(CORBA::TypeCode_ptr type, const char* text, CORBA::ULong priority, CORBA::ULongLong when,
    CORBA::Any& value)
{
    cdrMemoryStream stream;
    stream.marshalString(text, 0);
    priority >>= stream;
    when >>= stream;
    CORBA::Any result(type, nullptr);
    result.NP_unmarshalDataOnly(stream);
    value = result;
}

bool build(const std::string& name, CORBA::ORB_ptr orb, CORBA::Object_ptr self, Event_Comm::Event& ev)
{
    ev.tag_ = name.c_str();
    ev.object_ref_ = CORBA::Object::_nil();
    if (name == "event")
        ev.value_ <<= instrumentEvent();
    else if (name == "failing")
        ev.value_ <<= failingEvent();
    else if (name == "message")
        ev.value_ <<= shortMessage();
    else if (name == "message-long") {
        // The generated operator would refuse this text; write it as is.
        const KOV::Message m = longMessage();
        encodeMessageAs(KOV::_tc_Message, m.text, m.priority, m.arrival_time, ev.value_);
    } else if (name == "hk0")
        ev.value_ <<= reading(ELECTRONICS_HOUSING);
    else if (name == "hk1")
        ev.value_ <<= reading(SPECTROGRAPH_HOUSING);
    else if (name == "string")
        ev.value_ <<= plainText();
    else if (name == "unknown")
        fillUnknown(orb, ev.value_);
    else if (name == "lookalike-id" || name == "lookalike-names") {
        CORBA::TypeCode_var type =
            name == "lookalike-id" ? messageLookalikeById(orb) : messageLookalikeByNames(orb);
        encodeMessageAs(type.in(), "look-alike", MESSAGE, 5, ev.value_);
    } else if (name == "ref") {
        ev.value_ <<= instrumentEvent();
        ev.object_ref_ = CORBA::Object::_duplicate(self);
    } else if (name == "bad-priority")
        encodeMessageAs(KOV::_tc_Message, "bad priority", 9, 6, ev.value_);
    else
        return false;
    return true;
}

} // namespace PushedEvents
