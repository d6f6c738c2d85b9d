#ifndef KOV_TESTS_PUSHED_EVENTS_H
#define KOV_TESTS_PUSHED_EVENTS_H

#include <event_comm.hh>
#include <kov.hh>

#include <string>

// The events that kov_push_client pushes, by name, and the values they
// carry, so that the receiving test compares with what was really sent.
namespace PushedEvents {

KOV::Event instrumentEvent();
KOV::Event failingEvent(); // the test receiver throws on this one
KOV::Message shortMessage();
KOV::Message longMessage(); // 200 characters, over the bound of 128
KOV::HousekeepingData reading(HousingID housing);
const char* plainText();
std::string longReason(); // 200 characters

// A struct with the members of KOV::Message under another repository id,
// and one with KOV::Message's repository id but other member names.
CORBA::TypeCode_ptr messageLookalikeById(CORBA::ORB_ptr orb);
CORBA::TypeCode_ptr messageLookalikeByNames(CORBA::ORB_ptr orb);

// Puts a message into `value` under `type`, written member by member (no
// bound check, any priority number).
void encodeMessageAs(CORBA::TypeCode_ptr type, const char* text, CORBA::ULong priority, CORBA::ULongLong when,
    CORBA::Any& value);

// Fills `ev` for one of the names: event, failing, message, message-long,
// hk0, hk1, string, unknown, lookalike-id, lookalike-names, ref,
// bad-priority. `self` is the consumer's own reference (for "ref").
// False for an unknown name.
bool build(const std::string& name, CORBA::ORB_ptr orb, CORBA::Object_ptr self, Event_Comm::Event& ev);

} // namespace PushedEvents

#endif
