#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>

#include "convert.h"
#include "hex_text.h"
#include "system_commands.h"

using namespace ortiva;

namespace {

std::string Text(const Command& c) { return BytesToString(c.bytes); }

struct FrameRow {
    const char* name;
    std::function<Command()> build;
    const char* frame;
    int pending;
    int kind;
    ReplyTimer timer;
    bool delayedClose;
};

constexpr int kSet = kPendingSetAck;
constexpr int kKind = kTimeoutSet;
constexpr ReplyTimer k3000 = ReplyTimer::Set3000;

}  // namespace

TEST(SystemCommands, FramesAndWhatFollowsTheSend)
{
    const FrameRow rows[] = {
        {"9600 none on A", [] { return SetSerialACommand(3, 0); }, "QQS#BA1:30#", kSet, kKind, k3000, true},
        {"115200 even on B", [] { return SetSerialBCommand(7, 2); }, "QQS#BA2:72#", kSet, kKind, k3000, true},
        {"1200 odd on A", [] { return SetSerialACommand(0, 1); }, "QQS#BA1:01#", kSet, kKind, k3000, true},
        {"no selection on B", [] { return SetSerialBCommand(-1, -1); }, "QQS#BA2://#", kSet, kKind, k3000, true},
        {"slave 1", [] { return SetSlaveAddressCommand("1"); }, "QQS#ADR:001#", kSet, kKind, k3000, false},
        {"slave 0", [] { return SetSlaveAddressCommand("0"); }, "QQS#ADR:000#", kSet, kKind, k3000, false},
        {"slave 247", [] { return SetSlaveAddressCommand("247"); }, "QQS#ADR:247#", kSet, kKind, k3000, false},
        {"slave 999", [] { return SetSlaveAddressCommand("999"); }, "QQS#ADR:999#", kSet, kKind, k3000, false},
        {"slave padded text", [] { return SetSlaveAddressCommand(" +07 "); }, "QQS#ADR:007#", kSet, kKind, k3000,
         false},
        {"mode item 1", [] { return SetModeCommand(1); }, "QQS#MD:1#", kSet, kKind, k3000, false},
        {"mode item 4", [] { return SetModeCommand(4); }, "QQS#MD:4#", kSet, kKind, k3000, false},
        {"mode none", [] { return SetModeCommand(-1); }, "QQS#MD:/#", kSet, kKind, k3000, false},
        {"return A 50ms", [] { return SetReturnTimeACommand(0); }, "QQS#XY1:0#", kSet, kKind, k3000, false},
        {"return B 50ms", [] { return SetReturnTimeBCommand(0); }, "QQS#XY2:0#", kSet, kKind, k3000, false},
        {"return B 500ms", [] { return SetReturnTimeBCommand(5); }, "QQS#XY2:5#", kSet, kKind, k3000, false},
        {"polling 50", [] { return SetPollingIntervalCommand("50"); }, "QQS#JTM:050#", kSet, kKind, k3000, false},
        {"base A 40001", [] { return SetBaseAddressACommand("40001"); }, "QQS#AADR:40001#", kSet, kKind, k3000, false},
        {"base B 0", [] { return SetBaseAddressBCommand("0"); }, "QQS#BADR:00000#", kSet, kKind, k3000, false},
        {"base B 99999", [] { return SetBaseAddressBCommand("99999"); }, "QQS#BADR:99999#", kSet, kKind, k3000, false},
        {"base A 7", [] { return SetBaseAddressACommand("7"); }, "QQS#AADR:00007#", kSet, kKind, k3000, false},
        {"initialization", [] { return ParameterInitializationCommand(); }, "QQS#RESET#", kSet, kKind, k3000, false},
        {"Label8", [] { return Label8Command(); }, "QQS#YB:1#", kSet, kKind, k3000, false},
        {"Label51", [] { return Label51Command(); }, "QQS#YB:2#", kSet, kKind, k3000, false},
        {"serial 123 / 006", [] { return SerialNumberCommand("123", "006"); }, "KAVORN#PCBSN:00000123,006#", 0, 0,
         ReplyTimer::None, false},
        {"serial 12345678 / 101", [] { return SerialNumberCommand("12345678", "101"); }, "KAVORN#PCBSN:12345678,101#",
         0, 0, ReplyTimer::None, false},
        {"longer numbers keep their digits", [] { return SerialNumberCommand("123456789", "1234"); },
         "KAVORN#PCBSN:123456789,1234#", 0, 0, ReplyTimer::None, false},
        {"zeros", [] { return SerialNumberCommand("0", "0"); }, "KAVORN#PCBSN:00000000,000#", 0, 0, ReplyTimer::None,
         false},
        {"communication query", [] { return CommunicationQueryCommand(); }, "QQQ#QV#", kPendingCommQuery,
         kTimeoutConnection, k3000, false},
        {"system parameters", [] { return SystemParametersQueryCommand(); }, "QQQ#QX#", kPendingSystemParams,
         kTimeoutQuery, k3000, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        const Command c = r.build();
        EXPECT_EQ(Text(c), r.frame);
        EXPECT_EQ(c.echo, Echo::Text);
        EXPECT_EQ(c.pendingCode, r.pending);
        EXPECT_EQ(c.timeoutKind, r.kind);
        EXPECT_EQ(c.timer, r.timer);
        EXPECT_EQ(c.delayedClose, r.delayedClose);
    }
}

TEST(SystemCommands, RefusedInputSendsNothing)
{
    enum class Error { Convert, Input, Programming };
    struct Row {
        std::function<Command()> build;
        Error error;
        const char* message;  // nullptr: not compared
    };
    const Row rows[] = {
        {[] { return SetSlaveAddressCommand(""); }, Error::Convert, "'' is not a valid integer value"},
        {[] { return SetSlaveAddressCommand("1a"); }, Error::Convert, "'1a' is not a valid integer value"},
        {[] { return SetSlaveAddressCommand("0x10"); }, Error::Convert, "'0x10' is not a valid integer value"},
        {[] { return SetPollingIntervalCommand(""); }, Error::Convert, "'' is not a valid integer value"},
        {[] { return SetBaseAddressACommand("4 0001"); }, Error::Convert, "'4 0001' is not a valid integer value"},
        {[] { return SetSlaveAddressCommand("1000"); }, Error::Input,
         "MODBUS slave address: '1000' is outside 0 to 999"},
        {[] { return SetSlaveAddressCommand("-1"); }, Error::Input, "MODBUS slave address: '-1' is outside 0 to 999"},
        {[] { return SetPollingIntervalCommand("1000"); }, Error::Input,
         "Meter polling interval: '1000' is outside 0 to 999"},
        {[] { return SetBaseAddressACommand("100000"); }, Error::Input,
         "RS232/RS485A data base address: '100000' is outside 0 to 99999"},
        {[] { return SetBaseAddressBCommand("-5"); }, Error::Input,
         "RS485B data base address: '-5' is outside 0 to 99999"},
        {[] { return SetBaseAddressBCommand("99999999999"); }, Error::Convert,
         "'99999999999' is not a valid integer value"},
        // The serial number is read before the inspector.
        {[] { return SerialNumberCommand("x", "zz"); }, Error::Convert, "'x' is not a valid integer value"},
        {[] { return SerialNumberCommand("1", "zz"); }, Error::Convert, "'zz' is not a valid integer value"},
        {[] { return SerialNumberCommand("-1", "zz"); }, Error::Input,
         "PCB serial number: '-1' is outside 0 to 2147483647"},
        {[] { return SerialNumberCommand("1", "-6"); }, Error::Input, "Inspector: '-6' is outside 0 to 2147483647"},
        {[] { return SetModeCommand(10); }, Error::Programming, nullptr},
        {[] { return SetSerialACommand(3, -2); }, Error::Programming, nullptr},
    };
    for (const auto& r : rows) {
        std::string message;
        Error got = Error::Programming;
        bool threw = true;
        try {
            r.build();
            threw = false;
        } catch (const EConvertError& e) {
            got = Error::Convert;
            message = e.what();
        } catch (const EInputError& e) {
            got = Error::Input;
            message = e.what();
        } catch (const std::out_of_range&) {
            got = Error::Programming;
        }
        ASSERT_TRUE(threw) << (r.message ? r.message : "list index");
        EXPECT_EQ(got, r.error) << message;
        if (r.message) {
            EXPECT_EQ(message, r.message);
        }
    }
}
