#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "crc16.h"

using namespace ortiva;

namespace {

// Bit by bit, the way the polynomial is defined; shares nothing with the tables.
uint16_t BitwiseCrc(const std::vector<uint8_t>& bytes, uint16_t crc = 0xFFFF)
{
    for (uint8_t b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
    }
    return crc;
}

}  // namespace

TEST(Crc16, PublishedVectors)
{
    struct Row {
        std::vector<uint8_t> bytes;
        uint8_t first, second;
    };
    const Row rows[] = {
        {{0x01, 0x03, 0x00, 0x00, 0x00, 0x0A}, 0xC5, 0xCD},
        {{0x11, 0x03, 0x00, 0x6B, 0x00, 0x03}, 0x76, 0x87},
        {{0x01, 0x03, 0x00, 0x0A, 0x00, 0x0A}, 0xE5, 0xCF},
        {{'1', '2', '3', '4', '5', '6', '7', '8', '9'}, 0x37, 0x4B},  // check value 0x4B37
        {{}, 0xFF, 0xFF},
    };
    for (const auto& r : rows) {
        Crc16 c;
        c.Run(r.bytes, static_cast<int>(r.bytes.size()) - 1);
        EXPECT_EQ(c.CrcFirstByte, r.first);
        EXPECT_EQ(c.CrcSecondByte, r.second);
        EXPECT_EQ(ModbusCrc16(r.bytes), r.first | (r.second << 8));
    }
}

TEST(Crc16, TablesHoldTheCrcOfEachSingleByteFromZero)
{
    EXPECT_EQ((std::vector<uint8_t>(kCrcTableA.begin(), kCrcTableA.begin() + 4)),
              (std::vector<uint8_t>{0x00, 0xC1, 0x81, 0x40}));
    EXPECT_EQ((std::vector<uint8_t>(kCrcTableB.begin(), kCrcTableB.begin() + 4)),
              (std::vector<uint8_t>{0x00, 0xC0, 0xC1, 0x01}));
    for (int i = 0; i < 256; ++i) {
        const uint16_t crc = BitwiseCrc({static_cast<uint8_t>(i)}, 0);
        EXPECT_EQ(kCrcTableA[i], crc & 0xFF) << i;
        EXPECT_EQ(kCrcTableB[i], crc >> 8) << i;
    }
}

TEST(Crc16, AgreesWithBitwiseCrcOverRandomFrames)
{
    std::mt19937 rng(20240611);
    std::uniform_int_distribution<int> byte(0, 255), length(1, 300);
    for (int n = 0; n < 3000; ++n) {
        std::vector<uint8_t> frame(static_cast<size_t>(length(rng)));
        for (auto& b : frame) b = static_cast<uint8_t>(byte(rng));
        ASSERT_EQ(ModbusCrc16(frame), BitwiseCrc(frame)) << "frame " << n;
        // A frame followed by its CRC, low byte first, checks to zero.
        const uint16_t crc = ModbusCrc16(frame);
        frame.push_back(static_cast<uint8_t>(crc & 0xFF));
        frame.push_back(static_cast<uint8_t>(crc >> 8));
        ASSERT_EQ(ModbusCrc16(frame), 0) << "frame " << n;
    }
}

TEST(Crc16, CoversUpToTheLastIndexAndNeverPastTheFrame)
{
    const std::vector<uint8_t> frame{0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0x99, 0x98};
    struct Row {
        int lastIndex;
        uint16_t crc;
    };
    const Row rows[] = {
        {5, 0xCDC5}, {-1, 0xFFFF}, {7, BitwiseCrc(frame)}, {500, BitwiseCrc(frame)}, {0, BitwiseCrc({0x01})},
    };
    for (const auto& r : rows) {
        Crc16 c{0x12, 0x34};  // leftovers of an earlier run do not count
        c.Run(frame, r.lastIndex);
        EXPECT_EQ(c.CrcFirstByte | (c.CrcSecondByte << 8), r.crc) << r.lastIndex;
    }
}
