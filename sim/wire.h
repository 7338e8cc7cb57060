// Byte-level helpers of the simulated module: MODBUS CRC-16, HART checksum,
// IEEE 754 singles as big-endian bytes, and the hex text used in its replies.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ortiva::sim {

using Bytes = std::vector<uint8_t>;

// MODBUS RTU CRC-16 (reflected polynomial 0xA001, start 0xFFFF, no final XOR),
// computed bit by bit. The low-order byte goes on the line first.
uint16_t ModbusCrc(std::span<const uint8_t> bytes);

// Appends the CRC of `frame` to it, low-order byte first.
void AppendModbusCrc(Bytes& frame);

// True when the last two bytes of `frame` are the CRC of the bytes before them.
bool ModbusCrcOk(std::span<const uint8_t> frame);

// XOR of every byte: the HART longitudinal parity.
uint8_t XorOf(std::span<const uint8_t> bytes);

// A single as four bytes, sign and exponent first.
std::array<uint8_t, 4> FloatBytes(float value);

// Bytes as two upper-case hex digits each, separated by single blanks,
// without a blank after the last one: {1, 3, 0} -> "01 03 00".
std::string SpacedHex(std::span<const uint8_t> bytes);

// Every byte as "XX " (for logs).
std::string HexDump(std::span<const uint8_t> bytes);

// `count` decimal digits starting at `pos` of `text`: their value, or -1 when
// the text ends earlier or any of them is not a digit.
int DigitsValue(std::string_view text, size_t pos, size_t count);

// `value` written with exactly `width` digits (leading zeros).
std::string Fixed(int value, int width);

inline Bytes ToBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }
inline std::string ToText(std::span<const uint8_t> bytes) { return std::string(bytes.begin(), bytes.end()); }

}  // namespace ortiva::sim
