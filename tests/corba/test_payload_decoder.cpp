#include "payload_decoder.h"

#include <kov.hh>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using PayloadDecoder::Kind;

KOV::HousekeepingData housekeeping(double temp, double rh)
{
    KOV::HousekeepingData data;
    data.id = SPECTROGRAPH_HOUSING;
    data.temp = temp;
    data.rh = rh;
    data.wateralarm = true;
    data.readingTime = 1700000003;
    return data;
}

TEST(PayloadDecoder, EachKnownTypeCodeAndNothingElse)
{
    const struct {
        CORBA::TypeCode_ptr type;
        Kind kind;
    } cases[] = {
        {KOV::_tc_Event, Kind::InstrumentEvent},
        {KOV::_tc_HousekeepingData, Kind::Reading},
        {KOV::_tc_Message, Kind::Message},
        {CORBA::_tc_string, Kind::Text},
        {CORBA::_tc_long, Kind::Unknown},
        {KOV::_tc_System, Kind::Unknown},
        {nullptr, Kind::Unknown},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PayloadDecoder::classify(c.type), c.kind) << (c.type ? c.type->id() : "null");
    const CORBA::Long number = 7;
    EXPECT_FALSE(PayloadDecoder::decode(CORBA::_tc_long, &number, 0));
    EXPECT_FALSE(PayloadDecoder::decode(KOV::_tc_HousekeepingData, nullptr, 0));
}

TEST(PayloadDecoder, ReadingsKeepFiniteValuesAndMakeTheRestNoData)
{
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double in, out;
    } cases[] = {
        {21.5, 21.5}, {-1.0, -1.0}, {-0.0, 0.0}, {1e308, 1e308}, {inf, NAN}, {-inf, NAN}, {NAN, NAN}};
    for (const auto& c : cases) {
        const KOV::HousekeepingData data = housekeeping(c.in, c.in);
        const auto record = PayloadDecoder::decode(KOV::_tc_HousekeepingData, &data, 1234);
        ASSERT_TRUE(record);
        EXPECT_EQ(record->kind, Kind::Reading);
        const History::Reading& r = record->reading;
        EXPECT_EQ(r.housing, 1);
        EXPECT_EQ(r.readingTime, 1700000003);
        EXPECT_EQ(r.arrivalMs, 1234);
        EXPECT_TRUE(r.water);
        for (double value : {r.temperature, r.humidity}) {
            if (std::isnan(c.out))
                EXPECT_TRUE(std::isnan(value)) << c.in;
            else
                EXPECT_EQ(value, c.out) << c.in;
        }
    }
}

TEST(PayloadDecoder, MessagesKeepTheirTimeAndTextsAreTimedOnArrival)
{
    KOV::Message message;
    message.text = CORBA::string_dup("Water in the spectrograph housing");
    message.priority = ALARM;
    message.arrival_time = 1700000000;
    const auto fromMessage = PayloadDecoder::decode(KOV::_tc_Message, &message, 1700000009500);
    ASSERT_TRUE(fromMessage);
    EXPECT_EQ(fromMessage->kind, Kind::Message);
    EXPECT_EQ(fromMessage->message.priority, ALARM);
    EXPECT_EQ(fromMessage->message.instrumentTime, 1700000000);
    EXPECT_EQ(fromMessage->message.text, "Water in the spectrograph housing");

    const auto fromText =
        PayloadDecoder::decode(CORBA::_tc_string, "Got disconnected due to x", 1700000009500);
    ASSERT_TRUE(fromText);
    EXPECT_EQ(fromText->kind, Kind::Text);
    EXPECT_EQ(fromText->message.priority, MESSAGE);
    EXPECT_EQ(fromText->message.instrumentTime, 1700000009);
    EXPECT_EQ(fromText->message.arrivalMs, 1700000009500);
    EXPECT_EQ(fromText->message.text, "Got disconnected due to x");
}

} // namespace
