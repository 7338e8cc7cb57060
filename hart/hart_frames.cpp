#include "hart_frames.h"

#include "convert.h"
#include "hex_text.h"

namespace ortiva {

namespace {

// Delimiter, address, command, byte count, checksum.
constexpr size_t kShortOverhead = 5;
constexpr size_t kLongOverhead = 9;

Command HartCommand(std::vector<uint8_t> bytes, int pendingCode, ReplyTimer timer)
{
    Command c;
    c.bytes = std::move(bytes);
    c.echo = Echo::Hex;
    c.pendingCode = pendingCode;
    c.timeoutKind = kTimeoutSet;
    c.timer = timer;
    return c;
}

void AppendPreambles(std::vector<uint8_t>& frame, int preambles)
{
    if (preambles >= -1) frame.insert(frame.end(), static_cast<size_t>(preambles) + 1, 0xFF);
}

void AppendBodyWithChecksum(std::vector<uint8_t>& frame, std::span<const uint8_t> body)
{
    frame.insert(frame.end(), body.begin(), body.end());
    frame.push_back(HartChecksum(body));
}

bool IsBlank(std::string_view text)
{
    for (char c : text)
        if (c != ' ' && c != '\t') return false;
    return true;
}

}  // namespace

uint8_t HartMasterBit(int commandModeIndex) { return commandModeIndex == 0 ? 0x80 : 0x00; }

uint8_t HartChecksum(std::span<const uint8_t> bytes)
{
    uint8_t x = 0;
    for (uint8_t b : bytes) x ^= b;
    return x;
}

int HartPreambleCount(std::string_view edit9Text, size_t bytesAfterPreambles)
{
    // N+1 preambles and the rest of the frame must fit TxFrame.
    const int most =
        bytesAfterPreambles >= kTxFrameSize ? -2 : static_cast<int>(kTxFrameSize - bytesAfterPreambles) - 1;
    return StrToIntInRange(edit9Text, -1, most, "Preamble length");
}

int HartAddressFromList(const HartAddressChoice& choice, int maxAddress, std::string_view what)
{
    int32_t typed = 0;
    if (IsBlank(choice.text)) {
        if (choice.index >= 0 && choice.index <= maxAddress) return choice.index;
    } else if (TryStrToInt(choice.text, typed) && typed >= 0 && typed <= maxAddress) {
        return typed;
    }
    std::string m(what);
    m += ": '" + choice.text + "' is not an address from 0 to " + std::to_string(maxAddress);
    throw EInputError(m);
}

std::vector<uint8_t> HartShortFrame(int preambles, uint8_t address, uint8_t command, std::span<const uint8_t> data)
{
    std::vector<uint8_t> body{kHartShortDelimiter, address, command, static_cast<uint8_t>(data.size())};
    body.insert(body.end(), data.begin(), data.end());
    std::vector<uint8_t> frame;
    AppendPreambles(frame, preambles);
    AppendBodyWithChecksum(frame, body);
    return frame;
}

std::vector<uint8_t> HartLongFrame(int preambles, uint8_t masterBit, const HartIdentity& identity, uint8_t command,
                                   std::span<const uint8_t> data)
{
    std::vector<uint8_t> body{kHartLongDelimiter,
                              static_cast<uint8_t>(masterBit | (identity.ManufacturerId & 0x3F)),
                              identity.DeviceType,
                              identity.DeviceId[0],
                              identity.DeviceId[1],
                              identity.DeviceId[2],
                              command,
                              static_cast<uint8_t>(data.size())};
    body.insert(body.end(), data.begin(), data.end());
    std::vector<uint8_t> frame;
    AppendPreambles(frame, preambles);
    AppendBodyWithChecksum(frame, body);
    return frame;
}

Command HartDeviceQueryCommand(HartIdentity& identity, std::string_view edit9Text, int commandModeIndex,
                               const HartAddressChoice& comboBox30)
{
    const int n = HartPreambleCount(edit9Text, kShortOverhead);
    const int address = HartAddressFromList(comboBox30, kHartPollAddressMax, "HART address");
    auto frame =
        HartShortFrame(n, static_cast<uint8_t>(HartMasterBit(commandModeIndex) + address), kHartCommandIdentity, {});
    identity.PollAddress = static_cast<uint8_t>(address);
    return HartCommand(std::move(frame), kPendingHartDevice, ReplyTimer::KeepInterval);
}

Command HartVariablesQueryCommand(const HartIdentity& identity, std::string_view edit9Text, int commandModeIndex)
{
    const int n = HartPreambleCount(edit9Text, kLongOverhead);
    return HartCommand(HartLongFrame(n, HartMasterBit(commandModeIndex), identity, kHartCommandVariables, {}),
                       kPendingHartVariables, ReplyTimer::KeepInterval);
}

Command HartAddressSetCommand(const HartIdentity& identity, std::string_view edit9Text, int commandModeIndex,
                              const HartAddressChoice& comboBox27)
{
    const int n = HartPreambleCount(edit9Text, kLongOverhead + 1);
    const uint8_t address =
        static_cast<uint8_t>(HartAddressFromList(comboBox27, kHartNewAddressMax, "New HART address"));
    const uint8_t data[1] = {address};
    return HartCommand(HartLongFrame(n, HartMasterBit(commandModeIndex), identity, kHartCommandAddress, data),
                       kPendingHartAddress, ReplyTimer::Set3000);
}

HartManualResult HartManualCommand(std::string_view edit10Text, std::string_view edit9Text)
{
    HartManualResult r;
    const HexBytesResult typed = ParseHexBytes(edit10Text, kHartManualByteLimit);
    if (!typed.ok()) {
        r.message = typed.error;
        return r;
    }
    const int n = HartPreambleCount(edit9Text, typed.bytes.size() + 1);
    std::vector<uint8_t> frame;
    AppendPreambles(frame, n);
    AppendBodyWithChecksum(frame, typed.bytes);
    r.command = HartCommand(std::move(frame), kPendingHartManual, ReplyTimer::KeepInterval);
    return r;
}

}  // namespace ortiva
