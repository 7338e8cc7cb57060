// The MODBUS communication test: one Read Holding Registers request
// (function 3) built from the three edits of the test group.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "exchange_rules.h"

namespace ortiva {

inline constexpr uint8_t kReadHoldingRegisters = 0x03;

// Slave address, function 3, start address (high byte 0), register count
// (high byte 0), CRC low-order byte, CRC high-order byte.
std::array<uint8_t, 8> ReadHoldingRegistersRequest(uint8_t slave, uint8_t start, uint8_t count);

// Button4 ("MODBUS Comm Test"): the texts of Edit18 (slave address), Edit19
// (start address) and Edit20 (register count) are converted in that order,
// each keeping its low 8 bits (300 is sent as 0x2C, 256 as 0x00, -1 as 0xFF).
// A text that is not an integer raises EConvertError before anything is built.
// The command awaits code 302 with timeout kind 1 and is echoed as hex text.
Command ModbusTestCommand(std::string_view edit18, std::string_view edit19, std::string_view edit20);

}  // namespace ortiva
