#include "wire.h"

#include <bit>
#include <cstdio>

namespace ortiva::sim {

uint16_t ModbusCrc(std::span<const uint8_t> bytes)
{
    uint16_t crc = 0xFFFF;
    for (uint8_t b : bytes) {
        crc ^= b;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
    }
    return crc;
}

void AppendModbusCrc(Bytes& frame)
{
    const uint16_t crc = ModbusCrc(frame);
    frame.push_back(static_cast<uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<uint8_t>(crc >> 8));
}

bool ModbusCrcOk(std::span<const uint8_t> frame)
{
    if (frame.size() < 3) return false;
    const uint16_t crc = ModbusCrc(frame.first(frame.size() - 2));
    return frame[frame.size() - 2] == (crc & 0xFF) && frame[frame.size() - 1] == (crc >> 8);
}

uint8_t XorOf(std::span<const uint8_t> bytes)
{
    uint8_t x = 0;
    for (uint8_t b : bytes) x ^= b;
    return x;
}

std::array<uint8_t, 4> FloatBytes(float value)
{
    const auto bits = std::bit_cast<uint32_t>(value);
    return {static_cast<uint8_t>(bits >> 24), static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 8),
            static_cast<uint8_t>(bits)};
}

std::string SpacedHex(std::span<const uint8_t> bytes)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) text += ' ';
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}

std::string HexDump(std::span<const uint8_t> bytes)
{
    std::string text = SpacedHex(bytes);
    if (!bytes.empty()) text += ' ';
    return text;
}

int DigitsValue(std::string_view text, size_t pos, size_t count)
{
    if (pos > text.size() || text.size() - pos < count || count == 0) return -1;
    int value = 0;
    for (size_t i = pos; i < pos + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

std::string Fixed(int value, int width)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*d", width, value);
    return buf;
}

}  // namespace ortiva::sim
