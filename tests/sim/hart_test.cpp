// The HART instrument behind the module: frames, addressing, checksums and
// the reply layouts the tool's decoders read.
#include "module.h"
#include "reply_reader.h"

#include <gtest/gtest.h>

namespace ortiva::sim {
namespace {

using testing::HartFrame;

// Position of the last preamble before `delimiter`, as the tool finds it.
size_t LastPreamble(const Bytes& reply, uint8_t delimiter)
{
    for (size_t k = 0; k + 1 < reply.size(); ++k)
        if (reply[k] == 0xFF && reply[k + 1] == delimiter) return k;
    return std::string::npos;
}

// The checksum covers the delimiter to the last data byte.
void ExpectChecksum(const Bytes& reply, size_t k)
{
    uint8_t x = 0;
    for (size_t i = k + 1; i + 1 < reply.size(); ++i) x ^= reply[i];
    EXPECT_EQ(reply.back(), x);
}

Bytes Identity(uint8_t address) { return HartFrame(7, {0x02, address, 0x00, 0x00}); }

Bytes Long(const HartInstrument& dev, uint8_t command, Bytes data = {}, bool master = true)
{
    Bytes body{0x82,
               static_cast<uint8_t>((master ? 0x80 : 0) | (dev.manufacturerId & 0x3F)),
               dev.deviceType,
               dev.deviceId[0],
               dev.deviceId[1],
               dev.deviceId[2],
               command,
               static_cast<uint8_t>(data.size())};
    body.insert(body.end(), data.begin(), data.end());
    return HartFrame(7, body);
}

TEST(SimHart, IdentityReplyPutsTheIdentityWhereHart5DevicesDo)
{
    for (uint8_t master : {0x80, 0x00}) {
        SCOPED_TRACE(master);
        Module m;
        const Bytes reply = m.Handle(Identity(master));
        const size_t k = LastPreamble(reply, 0x06);
        ASSERT_NE(k, std::string::npos);
        ASSERT_EQ(reply.size(), k + 20);
        EXPECT_EQ(reply[k + 2], master);  // the master's address bit comes back
        EXPECT_EQ(reply[k + 3], 0);       // command
        EXPECT_EQ(reply[k + 4], 14);      // byte count
        EXPECT_EQ(reply[k + 5], 0);       // response code
        EXPECT_EQ(reply[k + 7], 254);
        EXPECT_EQ(reply[k + 8], m.hart.manufacturerId);
        EXPECT_EQ(reply[k + 9], m.hart.deviceType);
        EXPECT_EQ(reply[k + 10], m.hart.requiredPreambles);
        EXPECT_EQ((Bytes{reply[k + 16], reply[k + 17], reply[k + 18]}),
                  (Bytes{m.hart.deviceId.begin(), m.hart.deviceId.end()}));
        ExpectChecksum(reply, k);
    }
}

TEST(SimHart, FramesNotForThisInstrumentAreIgnored)
{
    Module m;
    Bytes bad_checksum = Identity(0x80);
    bad_checksum.back() ^= 0x01;
    HartInstrument other = m.hart;
    other.deviceId[2] ^= 0x01;
    const Bytes ignored[] = {
        Identity(0x83),  // another polling address
        bad_checksum,
        HartFrame(7, {0x02, 0x80, 0x03, 0x00}),              // command 3 needs the long address
        Long(other, 3),                                      // another unique identifier
        HartFrame(7, {0x82, 0x80, 0, 0, 0, 0, 0x03, 0x00}),  // a zero identifier
        HartFrame(7, {0x06, 0x80, 0x00, 0x00}),              // a slave's frame
        Bytes{0x02, 0x80, 0x00, 0x00, 0x82},                 // no preamble
        Bytes{0xFF, 0xFF, 0x02, 0x80, 0x00, 0x05, 0x01},     // ends before its data
    };
    for (const Bytes& frame : ignored) {
        SCOPED_TRACE(HexDump(frame));
        EXPECT_TRUE(m.Handle(frame).empty());
    }
}

TEST(SimHart, VariablesReplyCarriesCurrentUnitsAndValues)
{
    for (int vars = 1; vars <= 4; ++vars) {
        SCOPED_TRACE(vars);
        Module m;
        m.options.hart.variables = vars;
        const Bytes reply = m.Handle(Long(m.hart, 3, {}, false));
        const size_t k = LastPreamble(reply, 0x86);
        ASSERT_NE(k, std::string::npos);
        EXPECT_EQ(reply[k + 2], m.hart.manufacturerId & 0x3F);  // no master bit asked, none returned
        EXPECT_EQ(reply[k + 7], 3);
        EXPECT_EQ(reply[k + 8], 6 + 5 * vars);           // 11, 16, 21, 26
        ASSERT_EQ(reply.size(), k + 10 + reply[k + 8]);  // header, data, checksum
        const auto current = FloatBytes(m.hart.loopCurrent);
        EXPECT_TRUE(std::equal(current.begin(), current.end(), reply.begin() + static_cast<long>(k) + 11));
        for (int s = 1; s <= vars; ++s) {
            const size_t unit_at = k + 15 + 5 * (s - 1);
            EXPECT_EQ(reply[unit_at], m.hart.variables[s - 1].unit);
            const auto value = FloatBytes(m.hart.variables[s - 1].value);
            EXPECT_TRUE(std::equal(value.begin(), value.end(), reply.begin() + static_cast<long>(unit_at) + 1));
        }
        ExpectChecksum(reply, k);
    }
}

TEST(SimHart, ManufacturerAboveSixtyThreeIsAddressedByItsLowSixBits)
{
    Module m;
    m.hart.manufacturerId = 0x45;
    const Bytes reply = m.Handle(HartFrame(5, {0x82, 0x85, m.hart.deviceType, 0x12, 0x34, 0x56, 0x03, 0x00}));
    const size_t k = LastPreamble(reply, 0x86);
    ASSERT_NE(k, std::string::npos);
    EXPECT_EQ(reply[k + 2], 0x85);
}

TEST(SimHart, AddressChangeMovesTheShortAddress)
{
    Module m;
    const Bytes reply = m.Handle(Long(m.hart, 6, {3}));
    const size_t k = LastPreamble(reply, 0x86);
    ASSERT_NE(k, std::string::npos);
    EXPECT_EQ(reply[k + 9], 0);   // response code
    EXPECT_EQ(reply[k + 11], 3);  // the new address echoed
    EXPECT_EQ(m.hart.pollAddress, 3);
    EXPECT_TRUE(m.Handle(Identity(0x80)).empty());
    EXPECT_NE(LastPreamble(m.Handle(Identity(0x83)), 0x06), std::string::npos);
    EXPECT_NE(LastPreamble(m.Handle(Long(m.hart, 3)), 0x86), std::string::npos);  // unique id unchanged

    const Bytes refused = m.Handle(Long(m.hart, 6, {16}));
    EXPECT_EQ(refused[LastPreamble(refused, 0x86) + 9], kHartInvalidSelection);
    EXPECT_EQ(m.hart.pollAddress, 3);
}

TEST(SimHart, ReplyShapes)
{
    for (int preambles : {2, 5, 20}) {
        Module m;
        m.options.hart.preambles = preambles;
        const Bytes reply = m.Handle(Identity(0x80));
        EXPECT_EQ(LastPreamble(reply, 0x06), static_cast<size_t>(preambles - 1)) << preambles;
    }
    {
        Module m;
        m.options.hart.garbage = true;
        const Bytes reply = m.Handle(Identity(0x80));
        EXPECT_TRUE(std::equal(kHartNoise.begin(), kHartNoise.end(), reply.begin()));
        const size_t k = LastPreamble(reply, 0x06);
        ASSERT_NE(k, std::string::npos);
        EXPECT_EQ(reply[k + 8], m.hart.manufacturerId);
    }
    {
        Module m;
        m.options.hart.error = true;
        const Bytes reply = m.Handle(Long(m.hart, 6, {4}));
        const size_t k = LastPreamble(reply, 0x86);
        ASSERT_NE(k, std::string::npos);
        EXPECT_EQ(reply[k + 8], 2);  // byte count: status only
        EXPECT_EQ(reply[k + 9], kHartBusy);
        EXPECT_EQ(reply.size(), k + 12);
        EXPECT_EQ(m.hart.pollAddress, 0);
    }
}

TEST(SimHart, OnlyTheTransparentModePassesHartFrames)
{
    Module m;
    m.system.mode = 1;
    EXPECT_TRUE(m.Handle(Identity(0x80)).empty());
    EXPECT_EQ(ToText(m.Handle(testing::Req("QQS#MD:0#"))), "QQS#MD:OK#");
    EXPECT_FALSE(m.Handle(Identity(0x80)).empty());
}

}  // namespace
}  // namespace ortiva::sim
