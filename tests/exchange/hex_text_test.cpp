#include <gtest/gtest.h>

#include "hex_text.h"

using namespace ortiva;

TEST(HexText, ByteToHexAndByteSequences)
{
    EXPECT_EQ(ByteToHex(0), "00");
    EXPECT_EQ(ByteToHex(0x0D), "0D");
    EXPECT_EQ(ByteToHex(255), "FF");
    EXPECT_EQ(ByteToHex(256), ".");
    EXPECT_EQ(ByteToHex(-1), ".");
    const uint8_t b[] = {0x51, 0x0A};
    EXPECT_EQ(HexText(b), "51 0A ");
    EXPECT_EQ(HexText(std::string_view("\x0D\xFF", 2)), "0D FF ");
    EXPECT_EQ(HexText(std::string_view()), "");
    EXPECT_EQ(HexText(std::string_view("\0A", 2)), "00 41 ");
}

struct HexCase {
    const char* text;
    int limit;
    std::vector<uint8_t> bytes;
    const char* error;
};

TEST(ParseHexBytes, CountsSeparatorsAndDigits)
{
    std::string sixteen;
    for (int i = 0; i < 16; ++i) sixteen += (i ? " " : "") + std::string{char('A' + i % 6), '1'};
    const HexCase cases[] = {
        {"76 89 FD AD", 15, {0x76, 0x89, 0xFD, 0xAD}, ""},
        {"76 89 FD AD ", 15, {0x76, 0x89, 0xFD, 0xAD}, ""},  // trailing blank
        {"7689", 15, {0x76}, ""},                            // N = 1
        {"76 89 F", 15, {0x76, 0x89}, ""},                   // lone nibble ignored
        {"01 0", 14, {0x01}, ""},
        {"01 03 0", 14, {0x01, 0x03}, ""},
        {"01 03 00", 14, {0x01, 0x03, 0x00}, ""},
        {"76-89", 15, {}, kNoSpack},
        {"7689FDAD", 15, {}, kNoSpack},
        {"", 15, {}, kNoSpack},
        {"7", 15, {}, kNoSpack},
        {"7g 89", 15, {}, kDataError},
        {"76 8f", 15, {}, kDataError},
        {"7+ 89", 15, {}, kDataError},
        {"76 89 fd ad", 15, {}, kDataError},
        {"7g-89", 15, {}, kNoSpack},  // separators are judged before digits
    };
    for (const auto& c : cases) {
        auto r = ParseHexBytes(c.text, c.limit);
        EXPECT_EQ(r.bytes, c.bytes) << '"' << c.text << '"';
        EXPECT_EQ(r.error, c.error) << '"' << c.text << '"';
    }
    auto r15 = ParseHexBytes(sixteen, 15);
    ASSERT_TRUE(r15.ok());
    EXPECT_EQ(r15.bytes.size(), 15u);
    auto r14 = ParseHexBytes(sixteen, 14);
    EXPECT_EQ(r14.bytes.size(), 14u);
    // A bad pair beyond the limit is never looked at.
    EXPECT_TRUE(ParseHexBytes("01 02 zz", 2).ok());
}
