#include "system_commands.h"

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>

#include "convert.h"

namespace ortiva {

namespace {

// '0' + index; no selection (-1) gives '/'.
char ListDigit(int index)
{
    if (index < -1 || index > 9) throw std::out_of_range("list index " + std::to_string(index));
    return static_cast<char>('0' + index);
}

// v with exactly `width` digits; v is already known to fit.
std::string Digits(int32_t v, size_t width)
{
    std::string t = std::to_string(v);
    if (t.size() < width) t.insert(0, width - t.size(), '0');
    return t;
}

Command SetCommand(const std::string& text) { return TextCommand(text, kPendingSetAck, kTimeoutSet); }

Command ThreeDigitSet(const char* prefix, std::string_view text, std::string_view what)
{
    return SetCommand(prefix + Digits(StrToIntInRange(text, 0, 999, what), 3) + "#");
}

Command FiveDigitSet(const char* prefix, std::string_view text, std::string_view what)
{
    return SetCommand(prefix + Digits(StrToIntInRange(text, 0, 99999, what), 5) + "#");
}

Command BaudParity(const char* prefix, int baud, int parity)
{
    Command c = SetCommand(std::string(prefix) + ListDigit(baud) + ListDigit(parity) + "#");
    c.delayedClose = true;
    return c;
}

constexpr int32_t kMaxInt = std::numeric_limits<int32_t>::max();

}  // namespace

Command SetSerialACommand(int comboBox2, int comboBox4) { return BaudParity("QQS#BA1:", comboBox2, comboBox4); }

Command SetSerialBCommand(int comboBox8, int comboBox9) { return BaudParity("QQS#BA2:", comboBox8, comboBox9); }

Command SetSlaveAddressCommand(std::string_view edit14)
{
    return ThreeDigitSet("QQS#ADR:", edit14, "MODBUS slave address");
}

Command SetModeCommand(int modeIndex) { return SetCommand(std::string("QQS#MD:") + ListDigit(modeIndex) + "#"); }

Command SetReturnTimeACommand(int rs485ady) { return SetCommand(std::string("QQS#XY1:") + ListDigit(rs485ady) + "#"); }

Command SetReturnTimeBCommand(int rs485bdy) { return SetCommand(std::string("QQS#XY2:") + ListDigit(rs485bdy) + "#"); }

Command SetPollingIntervalCommand(std::string_view edit6)
{
    return ThreeDigitSet("QQS#JTM:", edit6, "Meter polling interval");
}

Command SetBaseAddressACommand(std::string_view abadr)
{
    return FiveDigitSet("QQS#AADR:", abadr, "RS232/RS485A data base address");
}

Command SetBaseAddressBCommand(std::string_view bbadr)
{
    return FiveDigitSet("QQS#BADR:", bbadr, "RS485B data base address");
}

Command ParameterInitializationCommand() { return SetCommand("QQS#RESET#"); }

Command Label8Command() { return SetCommand("QQS#YB:1#"); }

Command Label51Command() { return SetCommand("QQS#YB:2#"); }

Command SerialNumberCommand(std::string_view pcbsn, std::string_view jianzhi)
{
    const int32_t serial = StrToIntInRange(pcbsn, 0, kMaxInt, "PCB serial number");
    const int32_t inspector = StrToIntInRange(jianzhi, 0, kMaxInt, "Inspector");
    Command c =
        TextCommand("KAVORN#PCBSN:" + Digits(serial, 8) + "," + Digits(inspector, 3) + "#", kPendingNone, kTimeoutNone);
    c.timer = ReplyTimer::None;
    return c;
}

Command CommunicationQueryCommand() { return TextCommand("QQQ#QV#", kPendingCommQuery, kTimeoutConnection); }

Command SystemParametersQueryCommand() { return TextCommand("QQQ#QX#", kPendingSystemParams, kTimeoutQuery); }

}  // namespace ortiva
