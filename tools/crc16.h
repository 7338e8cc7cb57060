// CRC-16 of MODBUS RTU frames (reflected polynomial 0xA001, initial value
// 0xFFFF, no final XOR), by the table method with two fixed byte tables.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace ortiva {

// A[i] / B[i]: low- / high-order byte of the CRC of the single byte i,
// computed from 0. Fixed data.
extern const std::array<uint8_t, 256> kCrcTableA;
extern const std::array<uint8_t, 256> kCrcTableB;

// The two accumulators. After Run they hold the CRC in sending order:
// CrcFirstByte is the low-order byte (sent first), CrcSecondByte the
// high-order byte (sent second).
struct Crc16 {
    uint8_t CrcFirstByte = 0;
    uint8_t CrcSecondByte = 0;

    // Covers frame[0] .. frame[lastIndex] (a request's six bytes: lastIndex 5).
    // Both accumulators start at 0xFF. Never reads past the end of `frame`:
    // a lastIndex beyond it covers the whole frame, a negative one nothing.
    void Run(std::span<const uint8_t> frame, int lastIndex);
};

// The CRC of all of `bytes` as a value (low-order byte = CrcFirstByte).
uint16_t ModbusCrc16(std::span<const uint8_t> bytes);

}  // namespace ortiva
