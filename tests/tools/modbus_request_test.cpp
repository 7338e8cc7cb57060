#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert.h"
#include "crc16.h"
#include "hex_text.h"
#include "modbus_test.h"

using namespace ortiva;

TEST(ModbusTestRequest, BuiltFromTheThreeEdits)
{
    struct Row {
        const char *slave, *start, *count;
        std::vector<uint8_t> body;  // bytes 1 to 6
        const char* echo;           // nullptr: CRC checked against the body only
    };
    const Row rows[] = {
        {"001", "00", "10", {0x01, 0x03, 0x00, 0x00, 0x00, 0x0A}, "01 03 00 00 00 0A C5 CD "},
        {"001", "10", "10", {0x01, 0x03, 0x00, 0x0A, 0x00, 0x0A}, "01 03 00 0A 00 0A E5 CF "},
        {"17", "107", "3", {0x11, 0x03, 0x00, 0x6B, 0x00, 0x03}, "11 03 00 6B 00 03 76 87 "},
        // Only the low byte of each number travels.
        {"1", "300", "256", {0x01, 0x03, 0x00, 0x2C, 0x00, 0x00}, nullptr},
        {"257", "-1", "65546", {0x01, 0x03, 0x00, 0xFF, 0x00, 0x0A}, nullptr},
        {"247", "40", "125", {0xF7, 0x03, 0x00, 0x28, 0x00, 0x7D}, nullptr},
    };
    for (const auto& r : rows) {
        const Command c = ModbusTestCommand(r.slave, r.start, r.count);
        ASSERT_EQ(c.bytes.size(), 8u);
        EXPECT_EQ(std::vector<uint8_t>(c.bytes.begin(), c.bytes.begin() + 6), r.body) << r.start;
        const uint16_t crc = ModbusCrc16(r.body);
        EXPECT_EQ(c.bytes[6], crc & 0xFF) << r.start;
        EXPECT_EQ(c.bytes[7], crc >> 8) << r.start;
        if (r.echo) {
            EXPECT_EQ(HexText(c.bytes), r.echo);
        }
        EXPECT_EQ(c.echo, Echo::Hex);
        EXPECT_EQ(c.pendingCode, kPendingModbusTest);
        EXPECT_EQ(c.timeoutKind, kTimeoutConnection);
        EXPECT_EQ(c.timer, ReplyTimer::Set3000);
        EXPECT_FALSE(c.delayedClose);
    }
}

TEST(ModbusTestRequest, FirstBadEditIsReported)
{
    struct Row {
        const char *slave, *start, *count, *message;
    };
    const Row rows[] = {
        {"x", "y", "z", "'x' is not a valid integer value"},
        {"1", "abc", "", "'abc' is not a valid integer value"},
        {"1", "0", "", "'' is not a valid integer value"},
        {"1", "0x10", "10", "'0x10' is not a valid integer value"},
    };
    for (const auto& r : rows) {
        try {
            ModbusTestCommand(r.slave, r.start, r.count);
            ADD_FAILURE() << "accepted " << r.message;
        } catch (const EConvertError& e) {
            EXPECT_EQ(std::string(e.what()), r.message);
        }
    }
}
