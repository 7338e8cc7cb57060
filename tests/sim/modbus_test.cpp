// The module as a MODBUS RTU slave: CRC-16, register layout, exceptions and
// the requests a slave must leave unanswered.
#include "module.h"
#include "reply_reader.h"

#include <gtest/gtest.h>

namespace ortiva::sim {
namespace {

Bytes Request(uint8_t slave, uint8_t function, uint16_t start, uint16_t count)
{
    Bytes r{slave,
            function,
            static_cast<uint8_t>(start >> 8),
            static_cast<uint8_t>(start),
            static_cast<uint8_t>(count >> 8),
            static_cast<uint8_t>(count)};
    AppendModbusCrc(r);
    return r;
}

TEST(SimModbus, CrcMatchesPublishedFrames)
{
    struct Case {
        Bytes frame;
        uint8_t low, high;
    };
    const Case cases[] = {
        {{0x01, 0x03, 0x00, 0x00, 0x00, 0x0A}, 0xC5, 0xCD},
        {{0x11, 0x03, 0x00, 0x6B, 0x00, 0x03}, 0x76, 0x87},
        {{0x01, 0x03, 0x00, 0x0A, 0x00, 0x0A}, 0xE5, 0xCF},
    };
    for (const Case& c : cases) {
        Bytes f = c.frame;
        AppendModbusCrc(f);
        EXPECT_EQ(f[f.size() - 2], c.low) << HexDump(c.frame);
        EXPECT_EQ(f[f.size() - 1], c.high) << HexDump(c.frame);
        EXPECT_TRUE(ModbusCrcOk(f));
        f[0] ^= 0x40;
        EXPECT_FALSE(ModbusCrcOk(f));
    }
}

TEST(SimModbus, RegistersHoldEachDevicesFloatsHighWordFirst)
{
    Module m;
    // Device 1's ten registers, 40011 to 40020: 01 03 00 0A 00 0A E5 CF.
    const Bytes reply = m.Handle(Bytes{0x01, 0x03, 0x00, 0x0A, 0x00, 0x0A, 0xE5, 0xCF});
    ASSERT_EQ(reply.size(), 3u + 20u + 2u);
    EXPECT_EQ((Bytes{reply[0], reply[1], reply[2]}), (Bytes{0x01, 0x03, 20}));
    EXPECT_TRUE(ModbusCrcOk(reply));
    for (int q = 0; q < 5; ++q) {
        const auto expected = FloatBytes(m.devices[1].readings[q]);
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), reply.begin() + 3 + 4 * q)) << q;
    }
    // Device 1 publishes 8 mA and 11.5 as its first variable.
    EXPECT_EQ((Bytes{reply[3], reply[4], reply[5], reply[6]}), (Bytes{0x41, 0x00, 0x00, 0x00}));
    EXPECT_EQ((Bytes{reply[7], reply[8], reply[9], reply[10]}), (Bytes{0x41, 0x38, 0x00, 0x00}));

    m.devices[0].readings[0] = 12.5f;  // 41 48 00 00
    EXPECT_EQ(m.HoldingRegister(0), 0x4148);
    EXPECT_EQ(m.HoldingRegister(1), 0x0000);
}

// Each quantity in its device's output format, variable 1 scaled by the
// coefficient mode; the expected registers are worked out by hand.
TEST(SimModbus, RegistersFollowTheDevicesFormatsAndTheCoefficientMode)
{
    struct Case {
        const char* what;
        const char* formats;      // "QQS#DFOT2:<formats>#"
        const char* coefficient;  // "QQS#FMW:<mode>,<coefficient>#"
        float variable3, variable4;
        uint16_t regs[10];
    };
    // Device 2 reads 12 mA, 21.5, 22.5 and the two variables given.
    const Case cases[] = {
        {"every format",
         "01234",
         "2,0.500",
         23.5f,
         24.5f,
         {0x4140, 0x0000, 0x0000, 0x412C, 0x0000, 0x0017, 0x0018, 0x0000, 0x0019, 0x0000}},
        {"signs",
         "00034",
         "0,0.001",
         -3.0f,
         -7.4f,
         {0x4140, 0x0000, 0x41AC, 0x0000, 0x41B4, 0x0000, 0x0000, 0x0000, 0x0007, 0x0000}},
        {"m3/s to m3/h",
         "00000",
         "1,0.001",
         1.0f,
         1.0f,
         {0x4140, 0x0000, 0x4797, 0x2C00, 0x41B4, 0x0000, 0x3F80, 0x0000, 0x3F80, 0x0000}},
        {"coefficient x 100 rounded",
         "02000",
         "3,0.500",
         1.0f,
         1.0f,
         {0x4140, 0x0000, 0x0000, 0x0433, 0x41B4, 0x0000, 0x3F80, 0x0000, 0x3F80, 0x0000}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Module m;
        m.devices[2].readings[3] = c.variable3;
        m.devices[2].readings[4] = c.variable4;
        ASSERT_EQ(ToText(m.Handle(testing::Req(std::string("QQS#DFOT2:") + c.formats + "#"))), "QQS#DFOT2:OK#");
        ASSERT_EQ(ToText(m.Handle(testing::Req(std::string("QQS#FMW:") + c.coefficient + "#"))), "QQS#FMW:OK#");
        const Bytes reply = m.Handle(Request(1, 3, 20, 10));
        ASSERT_EQ(reply.size(), 3u + 20u + 2u);
        for (int i = 0; i < 10; ++i)
            EXPECT_EQ(reply[3 + 2 * i] << 8 | reply[4 + 2 * i], c.regs[i]) << "register " << 40021 + i;
    }
}

TEST(SimModbus, ExceptionsAndSilence)
{
    struct Case {
        const char* what;
        Bytes request;
        Bytes answer;  // without the CRC; empty: no reply
    };
    Bytes bad_crc = Request(1, 3, 0, 10);
    bad_crc.back() ^= 0xFF;
    const Case cases[] = {
        {"last register", Request(1, 3, 49, 1), {0x01, 0x03, 0x02}},
        {"past the last register", Request(1, 3, 45, 10), {0x01, 0x83, 0x02}},
        {"start beyond", Request(1, 3, 50, 1), {0x01, 0x83, 0x02}},
        {"no registers", Request(1, 3, 0, 0), {0x01, 0x83, 0x03}},
        {"other function", Request(1, 4, 0, 10), {0x01, 0x84, 0x01}},
        {"bad crc", bad_crc, {}},
        {"other slave", Request(2, 3, 0, 10), {}},
        {"broadcast", Request(0, 3, 0, 10), {}},
        {"too short", Bytes{0x01, 0x03}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Module m;
        const Bytes reply = m.Handle(c.request);
        if (c.answer.empty()) {
            EXPECT_TRUE(reply.empty());
            continue;
        }
        ASSERT_GE(reply.size(), c.answer.size() + 2);
        EXPECT_TRUE(std::equal(c.answer.begin(), c.answer.end(), reply.begin()));
        EXPECT_TRUE(ModbusCrcOk(reply));
    }
}

TEST(SimModbus, AnswersAtTheConfiguredAddressInEveryMode)
{
    Module m;
    EXPECT_EQ(ToText(m.Handle(testing::Req("QQS#ADR:017#"))), "QQS#ADR:OK#");
    EXPECT_EQ(ToText(m.Handle(testing::Req("QQS#MD:2#"))), "QQS#MD:OK#");
    EXPECT_TRUE(m.Handle(Request(1, 3, 0, 10)).empty());
    // 11 03 00 6B 00 03 76 87 reaches slave 17 but asks past register 40050.
    const Bytes reply = m.Handle(Bytes{0x11, 0x03, 0x00, 0x6B, 0x00, 0x03, 0x76, 0x87});
    ASSERT_EQ(reply.size(), 5u);
    EXPECT_EQ((Bytes{reply[0], reply[1], reply[2]}), (Bytes{0x11, 0x83, 0x02}));
    EXPECT_EQ(m.Handle(Request(17, 3, 0, 2)).size(), 3u + 4u + 2u);
}

}  // namespace
}  // namespace ortiva::sim
