#include <gtest/gtest.h>

#include <vector>

#include "convert.h"
#include "hart_frames.h"
#include "hex_text.h"

using namespace ortiva;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Preambles(int count) { return Bytes(static_cast<size_t>(count), 0xFF); }

Bytes Join(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

HartIdentity Identity(uint8_t manufacturer, uint8_t type, uint8_t id0, uint8_t id1, uint8_t id2)
{
    HartIdentity h;
    h.ManufacturerId = manufacturer;
    h.DeviceType = type;
    h.DeviceId = {id0, id1, id2};
    return h;
}

}  // namespace

TEST(HartFrames, DeviceQueryShortFrames)
{
    struct Row {
        const char* edit9;
        int mode;  // ComboBox42
        HartAddressChoice address;
        Bytes expected;
    };
    const Row rows[] = {
        {"6", -1, {0, "0"}, Join(Preambles(7), {0x02, 0x00, 0x00, 0x00, 0x02})},  // start-up state
        {"6", 0, {0, "0"}, Join(Preambles(7), {0x02, 0x80, 0x00, 0x00, 0x82})},
        {"6", 0, {3, "3"}, Join(Preambles(7), {0x02, 0x83, 0x00, 0x00, 0x81})},
        {"6", 1, {15, "15"}, Join(Preambles(7), {0x02, 0x0F, 0x00, 0x00, 0x0D})},  // secondary master
        {"0", 0, {0, "0"}, Join(Preambles(1), {0x02, 0x80, 0x00, 0x00, 0x82})},
        {"-1", 0, {0, "0"}, {0x02, 0x80, 0x00, 0x00, 0x82}},
        {" 2 ", 0, {-1, "9"}, Join(Preambles(3), {0x02, 0x89, 0x00, 0x00, 0x8B})},   // typed address
        {"498", -1, {0, ""}, Join(Preambles(499), {0x02, 0x00, 0x00, 0x00, 0x02})},  // exactly fills TxFrame
    };
    for (const auto& r : rows) {
        HartIdentity h;
        const Command c = HartDeviceQueryCommand(h, r.edit9, r.mode, r.address);
        EXPECT_EQ(c.bytes, r.expected) << r.edit9 << " mode " << r.mode << " address " << r.address.text;
        EXPECT_EQ(h.PollAddress, r.expected.end()[-4] & 0x0F);
        EXPECT_EQ(c.echo, Echo::Hex);
        EXPECT_EQ(c.pendingCode, 100);
        EXPECT_EQ(c.timeoutKind, 3);
        EXPECT_EQ(c.timer, ReplyTimer::KeepInterval);
    }
}

TEST(HartFrames, LongFramesFromTheIdentity)
{
    const HartIdentity example = Identity(0x26, 0x06, 0x12, 0x34, 0x56);
    // Address set example: N = 6, master, new address 3.
    const Command set = HartAddressSetCommand(example, "6", 0, {3, "3"});
    EXPECT_EQ(HexText(set.bytes), "FF FF FF FF FF FF FF 82 A6 06 12 34 56 06 01 03 56 ");
    EXPECT_EQ(set.pendingCode, 106);
    EXPECT_EQ(set.timeoutKind, 3);
    EXPECT_EQ(set.timer, ReplyTimer::Set3000);
    EXPECT_EQ(set.echo, Echo::Hex);

    // Address byte 1: master bit OR the low six bits of the manufacturer id.
    struct Row {
        HartIdentity identity;
        int mode;
        uint8_t first;
    };
    const Row rows[] = {
        {example, 0, 0xA6},
        {example, 1, 0x26},   // secondary master: no 0x80
        {example, -1, 0x26},  // nothing selected: no 0x80
        {Identity(0x45, 0x10, 0, 0, 1), 0, 0x85},
        {Identity(0xFF, 0xFF, 0xFF, 0xFF, 0xFF), 1, 0x3F},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(HartVariablesQueryCommand(r.identity, "4", r.mode).bytes[6], r.first)
            << int(r.identity.ManufacturerId);
        EXPECT_EQ(HartAddressSetCommand(r.identity, "4", r.mode, {8, "8"}).bytes[6], r.first);
    }
    // Before any device query the identity is zero.
    const Command q = HartVariablesQueryCommand(HartIdentity{}, "4", 0);
    EXPECT_EQ(HexText(q.bytes), "FF FF FF FF FF 82 80 00 00 00 00 03 00 01 ");
    EXPECT_EQ(q.pendingCode, 103);
    EXPECT_EQ(q.timer, ReplyTimer::KeepInterval);
}

TEST(HartFrames, ManualCommand)
{
    struct Row {
        const char* edit10;
        const char* edit9;
        Bytes expected;
    };
    const Row rows[] = {
        {"76 89 FD AD", "6", Join(Preambles(7), {0x76, 0x89, 0xFD, 0xAD, 0xAF})},
        {"02 80 00 00", "5", Join(Preambles(6), {0x02, 0x80, 0x00, 0x00, 0x82})},
        {"76 89 FD AD ", "6", Join(Preambles(7), {0x76, 0x89, 0xFD, 0xAD, 0xAF})},  // trailing blank
        {"76 89 F", "0", Join(Preambles(1), {0x76, 0x89, 0xFF})},                   // lone nibble ignored
        {"5A", "-1", {0x5A, 0x5A}},                                                 // one byte is its own checksum
        {"01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10", "1",                    // 16 typed: first 15 sent
         Join(Preambles(2), {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 0x00})},
    };
    for (const auto& r : rows) {
        const HartManualResult m = HartManualCommand(r.edit10, r.edit9);
        ASSERT_TRUE(m.ok()) << r.edit10 << ": " << m.message;
        EXPECT_EQ(m.command.bytes, r.expected) << r.edit10;
        EXPECT_EQ(m.command.pendingCode, 104);
        EXPECT_EQ(m.command.timeoutKind, 3);
        EXPECT_EQ(m.command.timer, ReplyTimer::KeepInterval);
        EXPECT_EQ(m.command.echo, Echo::Hex);
    }

    struct Refusal {
        const char* edit10;
        const char* message;
    };
    const Refusal refusals[] = {
        {"7689FDAD", "NO SPACK"},       {"", "NO SPACK"},         {"76-89", "NO SPACK"},
        {"76 89 fd ad", "Data eeore!"}, {"7g 89", "Data eeore!"},
    };
    for (const auto& r : refusals) {
        // The typed bytes are judged first: a bad Edit9 is not reached.
        const HartManualResult m = HartManualCommand(r.edit10, "not a number");
        EXPECT_EQ(m.message, r.message) << r.edit10;
        EXPECT_TRUE(m.command.bytes.empty());
    }
    EXPECT_THROW(HartManualCommand("76 89", "six"), EConvertError);
}

TEST(HartFrames, PreambleLengthRefusals)
{
    struct Row {
        const char* edit9;
        bool convertError;  // else EInputError
    };
    const Row rows[] = {{"", true}, {"abc", true}, {"6.0", true}, {"-2", false}, {"499", false}, {"2147483647", false}};
    for (const auto& r : rows) {
        HartIdentity h;
        h.PollAddress = 9;
        try {
            HartDeviceQueryCommand(h, r.edit9, 0, {0, "0"});
            ADD_FAILURE() << "accepted " << r.edit9;
        } catch (const EConvertError& e) {
            EXPECT_TRUE(r.convertError) << r.edit9;
            EXPECT_EQ(std::string(e.what()), NotAnIntegerMessage(r.edit9));
        } catch (const EInputError& e) {
            EXPECT_FALSE(r.convertError) << r.edit9;
            EXPECT_NE(std::string(e.what()).find("Preamble length"), std::string::npos) << e.what();
        }
        EXPECT_EQ(h.PollAddress, 9) << "a refused query must not move the polling address";
    }
    // The room left depends on the frame: longer frames allow fewer preambles.
    EXPECT_EQ(HartVariablesQueryCommand({}, "494", 0).bytes.size(), kTxFrameSize);
    EXPECT_THROW(HartVariablesQueryCommand({}, "495", 0), EInputError);
    EXPECT_EQ(HartAddressSetCommand({}, "493", 0, {0, "0"}).bytes.size(), kTxFrameSize);
    EXPECT_THROW(HartAddressSetCommand({}, "494", 0, {0, "0"}), EInputError);
    EXPECT_EQ(HartManualCommand("01 02", "500").command.bytes.size(), kTxFrameSize);
    EXPECT_THROW(HartManualCommand("01 02 03", "500"), EInputError);
}

TEST(HartFrames, AddressTypedIntoTheLists)
{
    struct Row {
        HartAddressChoice choice;
        int max;
        int expected;  // -1: refused
    };
    const Row rows[] = {
        {{3, "3"}, 15, 3},     {{-1, "7"}, 15, 7}, {{0, "12"}, 15, 12},  // typed over a selection not yet replaced
        {{-1, " 9 "}, 15, 9},  {{5, ""}, 15, 5},   {{-1, "16"}, 15, -1}, {{-1, "-1"}, 15, -1},
        {{-1, "abc"}, 15, -1}, {{-1, ""}, 15, -1}, {{-1, "9"}, 8, -1},   {{-1, "8"}, 8, 8},
    };
    for (const auto& r : rows) {
        if (r.expected < 0) {
            EXPECT_THROW(HartAddressFromList(r.choice, r.max, "HART address"), EInputError)
                << r.choice.index << " '" << r.choice.text << "'";
        } else {
            EXPECT_EQ(HartAddressFromList(r.choice, r.max, "HART address"), r.expected)
                << r.choice.index << " '" << r.choice.text << "'";
        }
    }
    try {
        HartAddressSetCommand({}, "6", 0, {-1, "9"});
        ADD_FAILURE();
    } catch (const EInputError& e) {
        EXPECT_EQ(std::string(e.what()), "New HART address: '9' is not an address from 0 to 8");
    }
    HartIdentity h;
    EXPECT_THROW(HartDeviceQueryCommand(h, "6", 0, {-1, "20"}), EInputError);
    EXPECT_EQ(HartDeviceQueryCommand(h, "6", 0, {-1, "12"}).bytes[8], 0x8C);
    EXPECT_EQ(h.PollAddress, 12);
}
