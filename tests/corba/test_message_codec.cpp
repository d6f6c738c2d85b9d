#include "message_codec.h"

#include <gtest/gtest.h>
#include <omniORB4/cdrStream.h>
#include <string>

namespace {

KOV::Message makeMessage(const std::string& text, MessagePriority priority, CORBA::ULongLong when)
{
    KOV::Message m;
    m.text = text.c_str();
    m.priority = priority;
    m.arrival_time = when;
    return m;
}

TEST(MessageCodec, RoundTripsTextLongerThanTheBound)
{
    const std::string text(200, 'x');
    CORBA::Any any;
    MessageCodec::encode(makeMessage(text, ALARM, 1234567890123ULL), any);

    CORBA::TypeCode_var tc = any.type();
    EXPECT_TRUE(tc->equal(KOV::_tc_Message));

    KOV::Message out;
    MessageCodec::decode(any, out);
    EXPECT_EQ(std::string(out.text), text);
    EXPECT_EQ(out.priority, ALARM);
    EXPECT_EQ(out.arrival_time, 1234567890123ULL);
}

TEST(MessageCodec, DecodesWhatTheGeneratedOperatorInserted)
{
    CORBA::Any any;
    any <<= makeMessage("short", WARNING, 42);
    KOV::Message out;
    MessageCodec::decode(any, out);
    EXPECT_STREQ(out.text, "short");
    EXPECT_EQ(out.priority, WARNING);
    EXPECT_EQ(out.arrival_time, 42u);
}

TEST(MessageCodec, GeneratedOperatorRefusesTheLongTextThatTheCodecCarries)
{
    CORBA::Any any;
    MessageCodec::encode(makeMessage(std::string(129, 'y'), MESSAGE, 1), any);
    const KOV::Message* extracted = nullptr;
    EXPECT_THROW((void)(any >>= extracted), CORBA::MARSHAL);
}

// A HousingID is 0 or 1 in C++; the extraction refuses any other number on
// the wire, so a reading of an unknown housing never reaches the window.
TEST(HousekeepingExtraction, RefusesAnUnknownHousing)
{
    cdrMemoryStream stream;
    CORBA::ULong(2) >>= stream;
    CORBA::Double(20.0) >>= stream;
    CORBA::Double(30.0) >>= stream;
    stream.marshalBoolean(false);
    CORBA::ULongLong(0) >>= stream;
    CORBA::Any any(KOV::_tc_HousekeepingData, nullptr);
    any.NP_unmarshalDataOnly(stream);

    const KOV::HousekeepingData* extracted = nullptr;
    EXPECT_THROW((void)(any >>= extracted), CORBA::MARSHAL);
}

} // namespace
