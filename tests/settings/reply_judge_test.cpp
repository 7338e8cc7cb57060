// Where a reply ends, kind by kind: whole, cut short, after noise, with late
// sections, and the refusals that end a reply as well.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crc16.h"
#include "device_commands.h"
#include "hart_frames.h"
#include "modbus_reply.h"
#include "modbus_test.h"
#include "monitoring.h"
#include "reply_judge.h"
#include "system_commands.h"

namespace ortiva {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes B(const std::string& s) { return Bytes(s.begin(), s.end()); }
Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
Bytes Cut(Bytes b, size_t n = 1)
{
    b.resize(b.size() - n);
    return b;
}
const Bytes kNoise{0x00, 0xFF, 0x13, 0xA5, 0x0D};

Bytes Hart(uint8_t delimiter, size_t addressLength, uint8_t command, const Bytes& data)
{
    Bytes frame{delimiter};
    frame.resize(1 + addressLength, 0x80);
    frame.push_back(command);
    frame.push_back(static_cast<uint8_t>(data.size()));
    frame = frame + data;
    frame.push_back(HartChecksum(frame));
    return Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF} + frame;
}

Bytes Modbus(Bytes frame)
{
    const uint16_t crc = ModbusCrc16(frame);
    frame.push_back(static_cast<uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<uint8_t>(crc >> 8));
    return frame;
}

TEST(ReplyJudge, EndsEachReplyAtItsEnd)
{
    const std::string system = "QX#BA1:30#BA2:30#MD:1#ADR:001#XY1:0#XY2:0#JTM:100#AADR:40001,40001#";
    const std::string device2 = "QQ2#FMW:1,1.000#FMU:1.000,1.000,1.000#HART2:1,0,00,5,000#DFO2:00000#";
    const std::string device2Rest = "ZDY2:0,100,100,100,100#MD:1#CAMD21:1<02,FD AD#CAMD22:0<00,#";
    Bytes registers{0x01, 0x03, 0x14};
    registers.resize(3 + 20, 0x3F);
    const Command ack = TextCommand("QQS#ADR:005#", kPendingSetAck, kTimeoutSet);
    const Command hart0 = [] {
        HartIdentity identity;
        return HartDeviceQueryCommand(identity, "5", 0, {0, "0"});
    }();
    HartIdentity identity;
    const Command hart3 = HartVariablesQueryCommand(identity, "5", 0);
    const Command modbus = ModbusTestCommand("1", "0", "10");
    Bytes badCrc = Modbus(registers);
    badCrc.back() ^= 0x55;

    const struct Row {
        const char* what;
        Command command;
        Bytes reply;
        ReplyEnd end;
    } rows[] = {
        {"firmware", CommunicationQueryCommand(), B("QV:V2.1,SN:12345678,001#"), ReplyEnd::Complete},
        {"firmware cut short", CommunicationQueryCommand(), B("QV:V2.1,SN:1234"), ReplyEnd::Incomplete},
        {"system", SystemParametersQueryCommand(), kNoise + B(system), ReplyEnd::Complete},
        {"system without its last '#'", SystemParametersQueryCommand(), Cut(B(system)), ReplyEnd::Incomplete},
        {"system: AADR is not ADR", SystemParametersQueryCommand(),
         B("QX#BA1:30#BA2:30#MD:1#XY1:0#XY2:0#JTM:100#AADR:40001,40001#"), ReplyEnd::Incomplete},
        {"query refused", SystemParametersQueryCommand(), B("QQQ#ERR#"), ReplyEnd::Complete},
        {"device", ModbusParamsQueryCommand(2), B(device2 + device2Rest), ReplyEnd::Complete},
        {"device, late sections after noise", ModbusParamsQueryCommand(2),
         kNoise + B(device2 + std::string(200, '-') + device2Rest), ReplyEnd::Complete},
        {"device, first chunk only", ModbusParamsQueryCommand(2), B(device2), ReplyEnd::Incomplete},
        {"device, last section open", ModbusParamsQueryCommand(2), Cut(B(device2 + device2Rest)), ReplyEnd::Incomplete},
        {"another device's record", ModbusParamsQueryCommand(3), B(device2 + device2Rest), ReplyEnd::Incomplete},
        {"monitoring slot", MonitoringQueryCommand(3), B("RCAD3:1<03,10 02 FF#"), ReplyEnd::Complete},
        {"monitoring slot cut short", MonitoringQueryCommand(3), B("RCAD3:1<03,10 0"), ReplyEnd::Incomplete},
        {"acknowledged", ack, B("QQS#ADR:OK#"), ReplyEnd::Complete},
        {"refused", ack, B("QQS#ADR:ERR#"), ReplyEnd::Complete},
        {"refused unnamed", ack, B("QQS#ERR#"), ReplyEnd::Complete},
        {"another key's acknowledgement", ack, B("QQS#MD:OK#"), ReplyEnd::Incomplete},
        {"acknowledgement cut short", ack, B("QQS#ADR:O"), ReplyEnd::Incomplete},
        {"serial number", SerialNumberCommand("12345678", "001"), B("KAVORN#PCBSN:OK#"), ReplyEnd::Complete},
        {"serial number cut short", SerialNumberCommand("12345678", "001"), B("KAVORN#PCBS"), ReplyEnd::Incomplete},
        {"HART identity", hart0, kNoise + Hart(0x06, 1, 0, Bytes(14, 0x11)), ReplyEnd::Complete},
        {"HART identity cut short", hart0, Cut(Hart(0x06, 1, 0, Bytes(14, 0x11))), ReplyEnd::Incomplete},
        {"HART identity, checksum wrong", hart0, Cut(Hart(0x06, 1, 0, Bytes(14, 0x11))) + Bytes{0x00},
         ReplyEnd::Unjudged},
        {"HART variables", hart3, Hart(0x86, 5, 3, Bytes(26, 0x22)), ReplyEnd::Complete},
        {"HART variables cut short", hart3, Cut(Hart(0x86, 5, 3, Bytes(26, 0x22)), 3), ReplyEnd::Incomplete},
        {"MODBUS registers after noise", modbus, kNoise + Modbus(registers), ReplyEnd::Complete},
        {"MODBUS registers cut short", modbus, Cut(Modbus(registers)), ReplyEnd::Incomplete},
        {"MODBUS exception", modbus, Modbus({0x01, 0x83, 0x02}), ReplyEnd::Complete},
        {"MODBUS CRC wrong", modbus, badCrc, ReplyEnd::Unjudged},
        {"MODBUS another slave's frame", modbus, Modbus({0x02, 0x83, 0x02}), ReplyEnd::Incomplete},
        {"a command with no judge", TextCommand("BA1", kPendingNone, kTimeoutNone), B("OK"), ReplyEnd::Unjudged},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(JudgeReply(row.command, row.reply), row.end);
    }
}

TEST(ReplyJudge, ModbusRepliesAreReadForTheirRegistersOrFault)
{
    // 16-bit start and count: registers 40301.. (300 = 0x012C), 260 of them.
    const auto request = ReadRegistersRequest(1, 300, 260);
    EXPECT_EQ(Bytes(request.begin(), request.begin() + 6), (Bytes{0x01, 0x03, 0x01, 0x2C, 0x01, 0x04}));
    EXPECT_EQ(ModbusCrc16(request), 0);  // the CRC over a frame with its CRC is 0

    const ModbusReply values = ParseModbusReply(kNoise + Modbus({0x01, 0x03, 0x04, 0x3F, 0x80, 0x00, 0x00}), 1, 2);
    EXPECT_EQ(values.registers, (std::vector<uint16_t>{0x3F80, 0x0000}));
    EXPECT_TRUE(values.fault.empty());
    const ModbusReply refused = ParseModbusReply(Modbus({0x01, 0x83, 0x02}), 1, 2);
    EXPECT_EQ(refused.exception, 2);
    EXPECT_EQ(refused.fault, "exception 2 (illegal data address)");
    Bytes bad = Modbus({0x01, 0x03, 0x04, 0x3F, 0x80, 0x00, 0x00});
    bad[4] ^= 1;
    EXPECT_EQ(ParseModbusReply(bad, 1, 2).fault, "bad CRC");
}

}  // namespace
}  // namespace ortiva
