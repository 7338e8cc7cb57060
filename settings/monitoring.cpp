#include "monitoring.h"

#include <array>
#include <stdexcept>

#include "hex_text.h"
#include "key_match.h"

namespace ortiva {

namespace {

constexpr std::array<MonitoringSlotControls, kMonitoringSlots> kSlots = {{
    {"ONECHECK01", "ONECMAD01", "Button3", "Button8"},
    {"ONECHECK02", "ONECMAD02", "Button25", "Button11"},
    {"ONECHECK03", "ONECMAD03", "Button35", "Button41"},
    {"ONECHECK04", "ONECMAD04", "Button42", "Button43"},
    {"RUNCHEAK1", "RUNCAMD1", "Button68", "Button69"},
    {"RUNCHEAK2", "RUNCAMD2", "Button72", "Button73"},
}};

char SlotDigit(int slot)
{
    MonitoringSlot(slot);  // range check
    return static_cast<char>('0' + slot);
}

}  // namespace

const MonitoringSlotControls& MonitoringSlot(int slot)
{
    if (slot < 1 || slot > kMonitoringSlots) throw std::out_of_range("monitoring slot " + std::to_string(slot));
    return kSlots[static_cast<size_t>(slot - 1)];
}

MonitoringSetResult MonitoringSetCommand(int slot, bool checked, std::string_view editText)
{
    const char digit = SlotDigit(slot);
    MonitoringSetResult r;
    const HexBytesResult parsed = ParseHexBytes(editText, kMonitoringMaxBytes);
    if (!parsed.ok()) {
        r.message = parsed.error;
        return r;
    }
    const size_t n = parsed.bytes.size();
    std::string head = "QQS#WCAD0";
    head += digit;
    head += ':';
    head += checked ? '1' : '0';
    head += '<';
    head += static_cast<char>('0' + n / 10);
    head += static_cast<char>('0' + n % 10);
    head += ',';
    r.command.bytes.assign(head.begin(), head.end());
    r.command.bytes.insert(r.command.bytes.end(), parsed.bytes.begin(), parsed.bytes.end());
    r.command.echo = Echo::Hex;
    r.command.pendingCode = kPendingSetAck;
    r.command.timeoutKind = kTimeoutSet;
    return r;
}

Command MonitoringQueryCommand(int slot)
{
    std::string text = "QQQ#RCAD0";
    text += SlotDigit(slot);
    text += '#';
    Command c = TextCommand(text, kPendingMonitoring, kTimeoutSet);
    c.echo = Echo::Hex;
    return c;
}

void DecodeMonitoringReply(std::string_view rxText, FieldSink& sink)
{
    const std::string_view t = rxText;
    const size_t p = FindKey(t, "RCAD?:");
    if (p == std::string_view::npos) return;
    const char s = t[p + 4];
    if (s < '1' || s > '6') return;
    const MonitoringSlotControls& slot = kSlots[static_cast<size_t>(s - '1')];

    sink.SetChecked(slot.checkBox, p + 6 < t.size() && t[p + 6] == '1');
    const int tens = DigitAt(t, p + 8);
    const int ones = DigitAt(t, p + 9);
    const size_t n = static_cast<size_t>(tens) * 10 + static_cast<size_t>(ones);
    if (n == 0) {
        sink.SetText(slot.edit, "");
        return;
    }
    const size_t length = 3 * n - 1;
    const size_t from = p + 11;
    if (from > t.size() || t.size() - from < length) return;  // cut short: keep what the edit had
    sink.SetText(slot.edit, std::string(t.substr(from, length)));
}

}  // namespace ortiva
