// The module's six monitoring command slots: set, query, and the decoder of
// the query's reply.
#pragma once

#include <string>
#include <string_view>

#include "exchange_rules.h"
#include "field_sink.h"

namespace ortiva {

inline constexpr int kMonitoringSlots = 6;
inline constexpr int kMonitoringMaxBytes = 14;

// The controls of slot 1..6 by their design names.
struct MonitoringSlotControls {
    const char* checkBox;  // on/off flag
    const char* edit;      // command bytes as hex byte text
    const char* setButton;
    const char* queryButton;
};
// Throws std::out_of_range for a slot outside 1..6.
const MonitoringSlotControls& MonitoringSlot(int slot);

// Set slot s: "QQS#WCAD0" s ":" flag "<" nn "," and the n raw command bytes
// (no closing "#"), flag "1" when checked, nn the count as two digits.
// The edit's text goes through ParseHexBytes with a limit of 14; a refusal
// comes back as `message` ("NO SPACK" or "Data eeore!", shown as a plain
// message box) and nothing is to be sent. Code 200, timeout kind 3, hex echo.
struct MonitoringSetResult {
    Command command;
    std::string message;
    bool ok() const { return message.empty(); }
};
MonitoringSetResult MonitoringSetCommand(int slot, bool checked, std::string_view editText);

// Query slot s: "QQQ#RCAD0" s "#". Code 501, timeout kind 3, hex echo.
Command MonitoringQueryCommand(int slot);

// Reply to a slot query. At the first "RCAD?:" (any character at offset 4):
// offset 4 names the slot whose controls are filled ('1'..'6', whatever slot
// was queried; anything else changes nothing); the check box is checked when
// offset 6 is '1', unchecked otherwise; the count n is the digits at offsets
// 8 and 9; the edit receives the 3n-1 characters from offset 11 ("" for 0).
// A non-digit count raises EConvertError after the check box was written.
// A reply that ends before those 3n-1 characters leaves the edit as it was
// (the check box is still written): a cut-off command list is never shown as
// if it were the slot's contents.
void DecodeMonitoringReply(std::string_view rxText, FieldSink& sink);

}  // namespace ortiva
