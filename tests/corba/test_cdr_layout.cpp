// The CDR form of the payload structs, checked against layouts worked out
// by hand. A cdrMemoryStream marshals in the host's byte order, which is
// little-endian on the machines this client runs on; the expected bytes are
// written little-endian, and alignment counts from the start of the stream.
#include "message_codec.h"

#include <kov.hh>
#include <omniORB4/cdrStream.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Builds expected bytes field by field; `pad` marks bytes whose value CDR
// leaves undefined.
class Layout {
public:
    Layout& u32(std::uint32_t v) { return little(v, 4); }
    Layout& u64(std::uint64_t v) { return little(v, 8); }
    Layout& f64(double v)
    {
        std::uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        return little(bits, 8);
    }
    Layout& octet(std::uint8_t v) { return little(v, 1); }
    Layout& text(const char* s)
    {
        for (const char* p = s; *p; ++p)
            octet(static_cast<std::uint8_t>(*p));
        return octet(0);
    }
    Layout& pad(size_t n)
    {
        for (size_t i = 0; i < n; ++i) {
            bytes_.push_back(0);
            padding_.push_back(true);
        }
        return *this;
    }

    // Compares with `actual`, ignoring the padding bytes' values.
    void expectMatches(const Bytes& actual) const
    {
        ASSERT_EQ(actual.size(), bytes_.size());
        for (size_t i = 0; i < bytes_.size(); ++i)
            if (!padding_[i]) {
                EXPECT_EQ(int(actual[i]), int(bytes_[i])) << "at offset " << i;
            }
    }

private:
    Layout& little(std::uint64_t v, int n)
    {
        for (int i = 0; i < n; ++i) {
            bytes_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
            padding_.push_back(false);
        }
        return *this;
    }

    Bytes bytes_;
    std::vector<bool> padding_;
};

Bytes bytesOf(cdrMemoryStream& stream)
{
    const auto* p = static_cast<const std::uint8_t*>(stream.bufPtr());
    return Bytes(p, p + stream.bufSize());
}

bool littleEndianHost()
{
    const std::uint16_t probe = 1;
    std::uint8_t first;
    std::memcpy(&first, &probe, 1);
    return first == 1;
}

class CdrLayout : public testing::Test {
protected:
    void SetUp() override
    {
        if (!littleEndianHost())
            GTEST_SKIP() << "expected bytes are written for a little-endian stream";
    }
};

TEST_F(CdrLayout, HousekeepingDataWithItsAlignment)
{
    KOV::HousekeepingData reading;
    reading.id = SPECTROGRAPH_HOUSING;
    reading.temp = 21.5;
    reading.rh = 45.25;
    reading.wateralarm = true;
    reading.readingTime = 0x0102030405060708ULL;

    Layout expected;
    expected
        .u32(1)                      //  0: id, enum ordinal
        .pad(4)                      //  4: double aligns on 8
        .f64(21.5)                   //  8: temp
        .f64(45.25)                  // 16: rh
        .octet(1)                    // 24: wateralarm
        .pad(7)                      // 25: unsigned long long aligns on 8
        .u64(0x0102030405060708ULL); // 32: readingTime; 40 bytes in all

    cdrMemoryStream direct;
    reading >>= direct;
    expected.expectMatches(bytesOf(direct));

    // The value an any carries is the same bytes.
    CORBA::Any any;
    any <<= reading;
    cdrMemoryStream fromAny;
    any.NP_marshalDataOnly(fromAny);
    expected.expectMatches(bytesOf(fromAny));
}

TEST_F(CdrLayout, MessageWithItsAlignment)
{
    KOV::Message message;
    message.text = "Hello";
    message.priority = WARNING;
    message.arrival_time = 0x1122334455667788ULL;

    Layout expected;
    expected
        .u32(6)                      //  0: string length, NUL included
        .text("Hello")               //  4: six octets
        .pad(2)                      // 10: unsigned long aligns on 4
        .u32(1)                      // 12: priority WARNING
        .u64(0x1122334455667788ULL); // 16: arrival_time; 24 bytes in all

    cdrMemoryStream direct;
    message >>= direct;
    expected.expectMatches(bytesOf(direct));

    CORBA::Any any;
    MessageCodec::encode(message, any);
    cdrMemoryStream fromAny;
    any.NP_marshalDataOnly(fromAny);
    expected.expectMatches(bytesOf(fromAny));
}

TEST_F(CdrLayout, EventWithItsAlignment)
{
    KOV::Event event;
    event.id = -2;
    event.name = "abc";
    event.arrival_time = 77;

    Layout expected;
    expected.octet(0xFE)
        .octet(0xFF) //  0: id -2 as a 2-byte short
        .pad(2)      //  2: unsigned long aligns on 4
        .u32(4)      //  4: name length
        .text("abc") //  8
        .pad(4)      // 12: unsigned long long aligns on 8
        .u64(77);    // 16; 24 bytes in all

    cdrMemoryStream direct;
    event >>= direct;
    expected.expectMatches(bytesOf(direct));
}

TEST_F(CdrLayout, MessageTextLongerThanTheBoundDecodesWhole)
{
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += static_cast<char>('A' + i % 26);

    // Bytes written by hand as a peer would send them: no bound applied.
    cdrMemoryStream wire;
    CORBA::ULong(text.size() + 1) >>= wire;
    wire.put_octet_array(
        reinterpret_cast<const CORBA::Octet*>(text.c_str()), static_cast<int>(text.size() + 1));
    CORBA::ULong(ALARM) >>= wire;
    CORBA::ULongLong(99) >>= wire;

    CORBA::Any any(KOV::_tc_Message, nullptr);
    any.NP_unmarshalDataOnly(wire);

    KOV::Message decoded;
    MessageCodec::decode(any, decoded);
    EXPECT_EQ(std::string(decoded.text.in()), text);
    EXPECT_EQ(decoded.priority, ALARM);
    EXPECT_EQ(decoded.arrival_time, 99u);
}

} // namespace
