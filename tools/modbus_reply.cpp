#include "modbus_reply.h"

#include "crc16.h"
#include "modbus_test.h"

namespace ortiva {

namespace {

constexpr uint8_t kExceptionFlag = 0x80;

// A frame of `length` bytes at `at`: its CRC (low byte first) holds.
bool CrcHolds(std::span<const uint8_t> reply, size_t at, size_t length)
{
    const uint16_t crc = ModbusCrc16(reply.subspan(at, length - 2));
    return reply[at + length - 2] == (crc & 0xFF) && reply[at + length - 1] == (crc >> 8);
}

struct Found {
    size_t at = 0;
    size_t length = 0;
    bool crcHolds = false;
};

// The first frame head for the slave whose whole length is there; prefers a
// frame whose CRC holds.
std::optional<Found> FindFrame(std::span<const uint8_t> reply, uint8_t slave, uint16_t count)
{
    std::optional<Found> wrongCrc;
    const size_t dataLength = 2 * static_cast<size_t>(count);
    for (size_t at = 0; at + 2 < reply.size(); ++at) {
        if (reply[at] != slave) continue;
        size_t length = 0;
        if (reply[at + 1] == kReadHoldingRegisters && dataLength <= 0xFF && reply[at + 2] == dataLength)
            length = 5 + dataLength;
        else if (reply[at + 1] == (kReadHoldingRegisters | kExceptionFlag))
            length = 5;
        if (length == 0 || at + length > reply.size()) continue;
        if (CrcHolds(reply, at, length)) return Found{at, length, true};
        if (!wrongCrc) wrongCrc = Found{at, length, false};
    }
    return wrongCrc;
}

}  // namespace

std::array<uint8_t, 8> ReadRegistersRequest(uint8_t slave, uint16_t start, uint16_t count)
{
    std::array<uint8_t, 8> f{slave,
                             kReadHoldingRegisters,
                             static_cast<uint8_t>(start >> 8),
                             static_cast<uint8_t>(start & 0xFF),
                             static_cast<uint8_t>(count >> 8),
                             static_cast<uint8_t>(count & 0xFF),
                             0,
                             0};
    Crc16 crc;
    crc.Run(f, 5);
    f[6] = crc.CrcFirstByte;
    f[7] = crc.CrcSecondByte;
    return f;
}

ReplyEnd JudgeModbusReply(std::span<const uint8_t> reply, uint8_t slave, uint16_t count)
{
    const auto frame = FindFrame(reply, slave, count);
    if (!frame) return ReplyEnd::Incomplete;
    return frame->crcHolds ? ReplyEnd::Complete : ReplyEnd::Unjudged;
}

ModbusReply ParseModbusReply(std::span<const uint8_t> reply, uint8_t slave, uint16_t count)
{
    ModbusReply r;
    const auto frame = FindFrame(reply, slave, count);
    if (!frame) {
        r.fault =
            "no reply frame from slave " + std::to_string(slave) + " in " + std::to_string(reply.size()) + " bytes";
        return r;
    }
    if (!frame->crcHolds) {
        r.fault = "bad CRC";
        return r;
    }
    if (frame->length == 5) {
        r.exception = reply[frame->at + 2];
        r.fault = "exception " + std::to_string(*r.exception) + " (" + ModbusExceptionName(*r.exception) + ")";
        return r;
    }
    for (size_t i = 0; i < count; ++i)
        r.registers.push_back(static_cast<uint16_t>(reply[frame->at + 3 + 2 * i] << 8 | reply[frame->at + 4 + 2 * i]));
    return r;
}

std::string ModbusExceptionName(uint8_t code)
{
    switch (code) {
    case 1: return "illegal function";
    case 2: return "illegal data address";
    case 3: return "illegal data value";
    case 4: return "slave device failure";
    case 5: return "acknowledge";
    case 6: return "slave device busy";
    default: return "unknown exception";
    }
}

}  // namespace ortiva
