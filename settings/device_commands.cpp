#include "device_commands.h"

#include "convert.h"
#include "hex_text.h"

namespace ortiva {

namespace {

constexpr size_t kCoefficientWidth = 5;

// "0" plus the index; "/" for no selection (-1).
char IndexDigit(int index, char zero = '0') { return static_cast<char>(zero + index); }

// Plain decimal: optional "-", at least one digit, at most one ".".
bool IsPlainDecimal(std::string_view t)
{
    size_t i = (!t.empty() && t[0] == '-') ? 1 : 0;
    bool digit = false, dot = false;
    for (; i < t.size(); ++i) {
        if (t[i] >= '0' && t[i] <= '9') {
            digit = true;
        } else if (t[i] == '.' && !dot) {
            dot = true;
        } else {
            return false;
        }
    }
    return digit;
}

void SetRegisterLabels(FieldSink& out, int device)
{
    const auto texts = RegisterLabelTexts(device);
    for (size_t i = 0; i < kRegisterLabels.size(); ++i) out.SetText(kRegisterLabels[i], texts[i]);
}

bool IsDevice(int device) { return device >= 0 && device < kDeviceCount; }

}  // namespace

Command ModbusParamsQueryCommand(int device)
{
    std::string t = "QQQ#QQ";
    t += IndexDigit(device);
    t += '#';
    return TextCommand(t, kPendingModbusParams, kTimeoutQuery);
}

Command HartPollingCommand(int device, int enabledIndex, int deviceModeIndex, int meterTypeIndex, int preambleIndex,
                           std::string_view clearTimeText)
{
    const int clear = StrToIntInRange(clearTimeText, 0, 999, "Buffer clear time");
    std::string t = "QQS#HART";
    t += IndexDigit(device);
    t += ':';
    t += IndexDigit(enabledIndex);
    t += ',';
    t += IndexDigit(deviceModeIndex);
    t += ',';
    t += IndexDigit(meterTypeIndex / 10);  // no selection: "0/"
    t += IndexDigit(meterTypeIndex % 10);
    t += ',';
    t += IndexDigit(preambleIndex, '4');
    t += ',';
    t += IndexDigit(clear / 100);
    t += IndexDigit(clear / 10 % 10);
    t += IndexDigit(clear % 10);
    t += '#';
    return TextCommand(t, kPendingSetAck, kTimeoutSet);
}

Command OutputFormatsCommand(int device, const std::array<int, 5>& formatIndexes)
{
    std::string t = "QQS#DFOT";
    t += IndexDigit(device);
    t += ':';
    for (int f : formatIndexes) t += IndexDigit(f);
    t += '#';
    return TextCommand(t, kPendingSetAck, kTimeoutSet);
}

std::string CoefficientField(std::string_view text, std::string_view what)
{
    if (text.size() >= kCoefficientWidth) return std::string(text.substr(0, kCoefficientWidth));
    if (!IsPlainDecimal(text)) {
        std::string m(what);
        m += ": '";
        m.append(text);
        m += "' has fewer than five characters";
        throw EInputError(m);
    }
    std::string t(text);
    if (t.find('.') == std::string::npos) t += '.';
    t.append(kCoefficientWidth - t.size(), '0');
    return t;
}

Command Variable1CoefficientCommand(int modeIndex, std::string_view beilvText)
{
    std::string t = "QQS#FMW:";
    t += IndexDigit(modeIndex);
    t += ',';
    t += CoefficientField(beilvText, "Variable 1 coefficient");
    t += '#';
    return TextCommand(t, kPendingSetAck, kTimeoutSet);
}

Command VariableCoefficientsCommand(std::string_view xishu2Text, std::string_view xishu3Text,
                                    std::string_view xishu4Text)
{
    std::string t = "QQS#FMU:";
    t += CoefficientField(xishu2Text, "Variable 2 coefficient");
    t += ',';
    t += CoefficientField(xishu3Text, "Variable 3 coefficient");
    t += ',';
    t += CoefficientField(xishu4Text, "Variable 4 coefficient");
    t += '#';
    return TextCommand(t, kPendingSetAck, kTimeoutSet);
}

ReadMeterCommandResult ReadMeterCommand(int device, int commandNumber, int openIndex, std::string_view hexText)
{
    ReadMeterCommandResult r;
    const HexBytesResult typed = ParseHexBytes(hexText, kCustomCommandByteLimit);
    if (!typed.ok()) {
        r.message = typed.error;
        return r;
    }
    const int n = static_cast<int>(typed.bytes.size());
    std::string t = "QQS#CAMD";
    t += IndexDigit(device);
    t += IndexDigit(commandNumber);
    t += ':';
    t += IndexDigit(openIndex);
    t += '<';
    t += IndexDigit(n / 10);
    t += IndexDigit(n % 10);
    t += ',';
    r.command = TextCommand(t, kPendingSetAck, kTimeoutSet);
    r.command.bytes.insert(r.command.bytes.end(), typed.bytes.begin(), typed.bytes.end());
    r.command.echo = Echo::Hex;
    return r;
}

Command ParsingFormatCommand(int device, int addressBitsIndex, const std::array<ParsingRow, 4>& rows)
{
    std::string t = "QQS#MDBS";
    t += IndexDigit(device);
    t += ':';
    t += IndexDigit(addressBitsIndex, '3');
    for (size_t i = 0; i < rows.size(); ++i) {
        const std::string what = "Start address of variable " + std::to_string(i + 1);
        const int start = StrToIntInRange(rows[i].startAddressText, 0, 99, what);
        t += ',';
        t += IndexDigit(rows[i].commandIndex);
        t += IndexDigit(start / 10);
        t += IndexDigit(start % 10);
        t += IndexDigit(rows[i].lengthIndex);
    }
    t += '#';
    return TextCommand(t, kPendingSetAck, kTimeoutSet);
}

std::array<std::string, 5> RegisterLabelTexts(int device)
{
    std::array<std::string, 5> texts;
    const char last[] = {'1', '3', '5', '7', '9'};
    for (size_t i = 0; i < texts.size(); ++i) {
        texts[i] = "400";
        texts[i] += IndexDigit(device);
        texts[i] += last[i];
    }
    return texts;
}

void ApplyDeviceSelection(FieldSink& out, int device)
{
    if (IsDevice(device)) {
        SetRegisterLabels(out, device);
        out.SetText("Edit19", std::string(1, IndexDigit(device)) + "0");
    }
    out.SetText("Edit20", "10");
    for (const char* list : kDeviceSelectionClearedLists) out.SetIndex(list, -1);
    for (const char* edit : kDeviceSelectionClearedEdits) out.SetText(edit, "");
    out.SetVisible(kCustomParsingGroup, false);
}

void ApplyMeterTypeChange(FieldSink& out, int meterTypeIndex)
{
    if (meterTypeIndex != 0) {
        out.SetVisible(kCustomParsingGroup, false);
        return;
    }
    out.SetVisible(kCustomParsingGroup, true);
    for (const char* list : kMeterTypeClearedLists) out.SetIndex(list, -1);
    for (const char* edit : kMeterTypeClearedEdits) out.SetText(edit, "");
}

void ApplyHartAddressChoice(FieldSink& out, int hartAddress)
{
    out.SetIndex("ComboBox41", IsDevice(hartAddress) ? hartAddress : -1);
    if (IsDevice(hartAddress)) SetRegisterLabels(out, hartAddress);
}

}  // namespace ortiva
