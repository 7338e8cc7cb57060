#include "modbus_test.h"

#include "convert.h"
#include "crc16.h"

namespace ortiva {

std::array<uint8_t, 8> ReadHoldingRegistersRequest(uint8_t slave, uint8_t start, uint8_t count)
{
    std::array<uint8_t, 8> f{slave, kReadHoldingRegisters, 0x00, start, 0x00, count, 0, 0};
    Crc16 crc;
    crc.Run(f, 5);
    f[6] = crc.CrcFirstByte;
    f[7] = crc.CrcSecondByte;
    return f;
}

Command ModbusTestCommand(std::string_view edit18, std::string_view edit19, std::string_view edit20)
{
    const auto lowByte = [](std::string_view text) {
        return static_cast<uint8_t>(static_cast<uint32_t>(StrToInt(text)) & 0xFFu);
    };
    const uint8_t slave = lowByte(edit18);
    const uint8_t start = lowByte(edit19);
    const uint8_t count = lowByte(edit20);
    const auto frame = ReadHoldingRegistersRequest(slave, start, count);

    Command c;
    c.bytes.assign(frame.begin(), frame.end());
    c.echo = Echo::Hex;
    c.pendingCode = kPendingModbusTest;
    c.timeoutKind = kTimeoutConnection;
    c.timer = ReplyTimer::Set3000;
    return c;
}

}  // namespace ortiva
