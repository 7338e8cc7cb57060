// Reading holding registers as a MODBUS RTU master: the request with 16-bit
// start and count, where a reply ends, and what it carries.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "reply_end.h"

namespace ortiva {

// Slave, function 3, start (high, low), count (high, low), CRC low, CRC high.
std::array<uint8_t, 8> ReadRegistersRequest(uint8_t slave, uint16_t start, uint16_t count);

// Where a reply to a function-3 request for `count` registers from `slave`
// ends, searched from every byte (noise may come first): Complete at the
// first frame "slave 03 2*count data CRC" or exception "slave 83 code CRC"
// whose CRC holds; Unjudged when a frame's head is there, its length reached
// and its CRC wrong (only silence can end it); Incomplete otherwise.
ReplyEnd JudgeModbusReply(std::span<const uint8_t> reply, uint8_t slave, uint16_t count);

struct ModbusReply {
    std::vector<uint16_t> registers;   // as received, high byte first
    std::optional<uint8_t> exception;  // the exception code of an exception reply
    std::string fault;                 // why the reply is not usable; empty when it is
};
// What a reply holds: the registers, an exception code, or a fault ("bad
// CRC", "no reply frame from slave 1 in 7 bytes").
ModbusReply ParseModbusReply(std::span<const uint8_t> reply, uint8_t slave, uint16_t count);

// The name of an exception code: "illegal data address" for 2, ...
std::string ModbusExceptionName(uint8_t code);

}  // namespace ortiva
