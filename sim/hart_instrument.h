// The HART instrument behind the simulated module: a HART 5 field device that
// answers command 0 (identity), command 3 (loop current and four variables)
// and command 6 (polling address) and ignores frames not meant for it.
#pragma once

#include "wire.h"

#include <array>
#include <cstdint>
#include <span>

namespace ortiva::sim {

struct HartVariable {
    uint8_t unit = 0;  // HART unit code
    float value = 0.0f;
};

struct HartInstrument {
    uint8_t pollAddress = 0;        // 0..15, reached by short frames
    uint8_t manufacturerId = 0x26;  // its low six bits start the unique identifier
    uint8_t deviceType = 0x06;
    uint8_t requiredPreambles = 5;  // what the device asks masters to send
    std::array<uint8_t, 3> deviceId{0x12, 0x34, 0x56};
    uint8_t universalRevision = 5;
    uint8_t deviceRevision = 1;
    uint8_t softwareRevision = 1;
    uint8_t hardwareSignalling = 0x08;
    uint8_t flags = 0;
    uint8_t deviceStatus = 0;
    float loopCurrent = 12.0f;  // mA
    std::array<HartVariable, 4> variables{{{19, 12.5f}, {43, 1234.5f}, {32, 21.25f}, {92, 997.5f}}};
};

// How the instrument shapes its replies.
struct HartReplyOptions {
    int preambles = 5;     // 0xFF bytes before the delimiter, 2..20
    int variables = 4;     // variables in the command 3 reply, 1..4 (byte count 6 + 5 per variable)
    bool error = false;    // answer every command with response code 32 (busy) and no data
    bool garbage = false;  // a few noise bytes before the preambles
};

// Response codes the instrument uses.
inline constexpr uint8_t kHartOk = 0;
inline constexpr uint8_t kHartInvalidSelection = 2;
inline constexpr uint8_t kHartTooFewDataBytes = 5;
inline constexpr uint8_t kHartBusy = 32;
inline constexpr uint8_t kHartNotImplemented = 64;

// The noise sent before the preambles with `garbage`: a 0xFF that is not
// followed by a reply delimiter, so a reader has to look past it.
inline constexpr std::array<uint8_t, 5> kHartNoise{0x3C, 0x00, 0xFF, 0x02, 0x5A};

// The instrument's answer to one received frame (preambles, delimiter 0x02 or
// 0x82, address, command, byte count, data, XOR checksum), or nothing when the
// frame is malformed, has a wrong checksum or is addressed to another device.
// Command 6 changes `instrument.poll_address`.
Bytes HartAnswer(HartInstrument& instrument, std::span<const uint8_t> request, const HartReplyOptions& options);

}  // namespace ortiva::sim
