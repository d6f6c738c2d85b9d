// The TypeCodes compiled from the IDL must match the peers' exactly: the
// client recognises payloads by TypeCode equality.
#include <event_comm.hh>
#include <kov.hh>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Member {
    std::string name;
    CORBA::TCKind kind;
    std::string id; // repository id of an alias, enum or objref member
};

void expectHeader(CORBA::TypeCode_ptr tc, CORBA::TCKind kind, const char* id, const char* name)
{
    EXPECT_EQ(tc->kind(), kind);
    EXPECT_STREQ(tc->id(), id);
    EXPECT_STREQ(tc->name(), name);
}

void expectMembers(CORBA::TypeCode_ptr tc, const std::vector<Member>& members)
{
    ASSERT_EQ(tc->member_count(), members.size());
    for (CORBA::ULong i = 0; i < members.size(); ++i) {
        SCOPED_TRACE(members[i].name);
        EXPECT_STREQ(tc->member_name(i), members[i].name.c_str());
        CORBA::TypeCode_var type = tc->member_type(i);
        EXPECT_EQ(type->kind(), members[i].kind);
        if (!members[i].id.empty()) {
            EXPECT_STREQ(type->id(), members[i].id.c_str());
        }
    }
}

CORBA::TypeCode_ptr memberType(CORBA::TypeCode_ptr tc, CORBA::ULong index)
{
    return tc->member_type(index);
}

TEST(EventCommTypeCodes, EventStruct)
{
    expectHeader(Event_Comm::_tc_Event, CORBA::tk_struct, "IDL:Event_Comm/Event:1.0", "Event");
    expectMembers(Event_Comm::_tc_Event,
        {{"tag_", CORBA::tk_string, ""}, {"value_", CORBA::tk_any, ""},
            {"object_ref_", CORBA::tk_objref, "IDL:omg.org/CORBA/Object:1.0"}});
    CORBA::TypeCode_var tag = memberType(Event_Comm::_tc_Event, 0);
    EXPECT_EQ(tag->length(), 0u); // unbounded
    CORBA::TypeCode_var ref = memberType(Event_Comm::_tc_Event, 2);
    EXPECT_STREQ(ref->name(), "Object");
}

TEST(EventCommTypeCodes, InterfacesAndExceptions)
{
    expectHeader(Event_Comm::_tc_Consumer, CORBA::tk_objref, "IDL:Event_Comm/Consumer:1.0", "Consumer");
    expectHeader(Event_Comm::_tc_Notifier, CORBA::tk_objref, "IDL:Event_Comm/Notifier:1.0", "Notifier");
    expectHeader(Event_Comm::Notifier::_tc_CannotSubscribe, CORBA::tk_except,
        "IDL:Event_Comm/Notifier/CannotSubscribe:1.0", "CannotSubscribe");
    expectMembers(Event_Comm::Notifier::_tc_CannotSubscribe, {{"reason_", CORBA::tk_string, ""}});
    expectHeader(Event_Comm::Notifier::_tc_CannotUnsubscribe, CORBA::tk_except,
        "IDL:Event_Comm/Notifier/CannotUnsubscribe:1.0", "CannotUnsubscribe");
    expectMembers(Event_Comm::Notifier::_tc_CannotUnsubscribe, {{"reason_", CORBA::tk_string, ""}});
}

TEST(KovTypeCodes, GlobalAliasesAndTimeT)
{
    expectHeader(_tc_TempType, CORBA::tk_alias, "IDL:TempType:1.0", "TempType");
    expectHeader(_tc_RhType, CORBA::tk_alias, "IDL:RhType:1.0", "RhType");
    CORBA::TypeCode_var temp = _tc_TempType->content_type();
    CORBA::TypeCode_var rh = _tc_RhType->content_type();
    EXPECT_EQ(temp->kind(), CORBA::tk_double);
    EXPECT_EQ(rh->kind(), CORBA::tk_double);

    expectHeader(TimeBase::_tc_TimeT, CORBA::tk_alias, "IDL:omg.org/TimeBase/TimeT:1.0", "TimeT");
    CORBA::TypeCode_var time = TimeBase::_tc_TimeT->content_type();
    EXPECT_EQ(time->kind(), CORBA::tk_ulonglong);
}

TEST(KovTypeCodes, EnumsWithTheirOrdinals)
{
    expectHeader(_tc_HousingID, CORBA::tk_enum, "IDL:HousingID:1.0", "HousingID");
    ASSERT_EQ(_tc_HousingID->member_count(), 2u);
    EXPECT_STREQ(_tc_HousingID->member_name(ELECTRONICS_HOUSING), "ELECTRONICS_HOUSING");
    EXPECT_STREQ(_tc_HousingID->member_name(SPECTROGRAPH_HOUSING), "SPECTROGRAPH_HOUSING");
    EXPECT_EQ(static_cast<int>(ELECTRONICS_HOUSING), 0);
    EXPECT_EQ(static_cast<int>(SPECTROGRAPH_HOUSING), 1);

    expectHeader(_tc_MessagePriority, CORBA::tk_enum, "IDL:MessagePriority:1.0", "MessagePriority");
    ASSERT_EQ(_tc_MessagePriority->member_count(), 3u);
    EXPECT_STREQ(_tc_MessagePriority->member_name(0), "MESSAGE");
    EXPECT_STREQ(_tc_MessagePriority->member_name(1), "WARNING");
    EXPECT_STREQ(_tc_MessagePriority->member_name(2), "ALARM");
    EXPECT_EQ(static_cast<int>(MESSAGE), 0);
    EXPECT_EQ(static_cast<int>(WARNING), 1);
    EXPECT_EQ(static_cast<int>(ALARM), 2);
}

TEST(KovTypeCodes, EventStruct)
{
    expectHeader(KOV::_tc_Event, CORBA::tk_struct, "IDL:KOV/Event:1.0", "Event");
    expectMembers(KOV::_tc_Event,
        {{"id", CORBA::tk_short, ""}, {"name", CORBA::tk_string, ""},
            {"arrival_time", CORBA::tk_alias, "IDL:omg.org/TimeBase/TimeT:1.0"}});
    CORBA::TypeCode_var name = memberType(KOV::_tc_Event, 1);
    EXPECT_EQ(name->length(), 0u);
}

TEST(KovTypeCodes, MessageStructWithItsTextBound)
{
    expectHeader(KOV::_tc_Message, CORBA::tk_struct, "IDL:KOV/Message:1.0", "Message");
    expectMembers(KOV::_tc_Message,
        {{"text", CORBA::tk_string, ""}, {"priority", CORBA::tk_enum, "IDL:MessagePriority:1.0"},
            {"arrival_time", CORBA::tk_alias, "IDL:omg.org/TimeBase/TimeT:1.0"}});
    CORBA::TypeCode_var text = memberType(KOV::_tc_Message, 0);
    EXPECT_EQ(text->length(), 128u);
}

TEST(KovTypeCodes, HousekeepingDataStruct)
{
    expectHeader(
        KOV::_tc_HousekeepingData, CORBA::tk_struct, "IDL:KOV/HousekeepingData:1.0", "HousekeepingData");
    expectMembers(KOV::_tc_HousekeepingData,
        {{"id", CORBA::tk_enum, "IDL:HousingID:1.0"}, {"temp", CORBA::tk_alias, "IDL:TempType:1.0"},
            {"rh", CORBA::tk_alias, "IDL:RhType:1.0"}, {"wateralarm", CORBA::tk_boolean, ""},
            {"readingTime", CORBA::tk_alias, "IDL:omg.org/TimeBase/TimeT:1.0"}});
}

TEST(KovTypeCodes, SystemInterface)
{
    expectHeader(KOV::_tc_System, CORBA::tk_objref, "IDL:KOV/System:1.0", "System");
}

// Structs built at run time, to see that equality is what recognises the
// message: same members under another id, or the id with other names.
class MessageLookalike : public testing::Test {
protected:
    void SetUp() override
    {
        int argc = 0;
        orb_ = CORBA::ORB_init(argc, nullptr);
    }

    CORBA::TypeCode_ptr build(const char* id, const char* name, const char* first)
    {
        CORBA::StructMemberSeq members;
        members.length(3);
        members[0].name = first;
        members[0].type = KOV::_tc_Message->member_type(0);
        members[1].name = "priority";
        members[1].type = KOV::_tc_Message->member_type(1);
        members[2].name = "arrival_time";
        members[2].type = KOV::_tc_Message->member_type(2);
        return orb_->create_struct_tc(id, name, members);
    }

    CORBA::ORB_var orb_;
};

TEST_F(MessageLookalike, SameIdNameAndMembersIsEqual)
{
    // Guards the other cases: the builder itself yields the real thing.
    CORBA::TypeCode_var same = build("IDL:KOV/Message:1.0", "Message", "text");
    EXPECT_TRUE(same->equal(KOV::_tc_Message));
}

TEST_F(MessageLookalike, AnotherRepositoryIdIsNotEqual)
{
    CORBA::TypeCode_var other = build("IDL:KOV/Notice:1.0", "Message", "text");
    EXPECT_FALSE(other->equal(KOV::_tc_Message));
    EXPECT_FALSE(other->equal(KOV::_tc_Event));
    EXPECT_FALSE(other->equal(KOV::_tc_HousekeepingData));
}

TEST_F(MessageLookalike, OtherMemberNamesAreNotEqual)
{
    CORBA::TypeCode_var other = build("IDL:KOV/Message:1.0", "Message", "txt");
    EXPECT_FALSE(other->equal(KOV::_tc_Message));
    // Equivalence ignores names; that is why recognition must use equality.
    EXPECT_TRUE(other->equivalent(KOV::_tc_Message));
}

TEST_F(MessageLookalike, AnotherTextBoundIsNotEqual)
{
    CORBA::StructMemberSeq members;
    members.length(3);
    members[0].name = "text";
    members[0].type = orb_->create_string_tc(0);
    members[1].name = "priority";
    members[1].type = KOV::_tc_Message->member_type(1);
    members[2].name = "arrival_time";
    members[2].type = KOV::_tc_Message->member_type(2);
    CORBA::TypeCode_var unbounded = orb_->create_struct_tc("IDL:KOV/Message:1.0", "Message", members);
    EXPECT_FALSE(unbounded->equal(KOV::_tc_Message));
}

} // namespace
