// Decoders of the two system queries' replies (the received text, at most
// 255 characters).
#pragma once

#include <array>
#include <string_view>

#include "field_sink.h"

namespace ortiva {

// Buttons the window enables when the module answers the communication query.
inline constexpr std::array<const char*, 16> kCommunicationQueryEnables = {
    "Button16", "Button21", "Button24", "Button29", "Button15", "Button27", "Button5",  "Button9",
    "Button7",  "Button14", "Button10", "Button17", "Button18", "Button12", "Button31", "Button23",
};

// Communication query ("QQQ#QV#"): true when "QV:" stands anywhere in the reply.
bool DecodeCommunicationQuery(std::string_view rxText);

// System parameter query ("QQQ#QX#"). Nothing happens unless "QX" stands
// somewhere in the reply. Then each key is looked up at its first occurrence
// and written at once, in this order:
//   "BA1:"  digit +4 -> ComboBox2, digit +5 -> ComboBox4
//   "BA2:"  digit +4 -> ComboBox8, digit +5 -> ComboBox9
//   "MD:"   digit +3 -> ComboBox7 and ComboBox14
//   "ADR:"  text +4..+6 -> Edit14 (an "ADR:" that ends an "AADR:" or "BADR:"
//           is a base address and is passed over)
//   "XY1:"  digit +4 -> RS485ADY
//   "XY2:"  digit +4 -> RS485BDY
//   "JTM:"  text +4..+6 -> Edit6
//   "AADR"  text +5..+9 -> ABadr, text +11..+15 -> BBadr
// A missing key leaves its controls alone. Text fields take the characters
// that are there when the reply ends early. A digit field that is not a digit
// (or lies past the end) raises EConvertError; what was written before stays.
void DecodeSystemParameters(std::string_view rxText, FieldSink& sink);

}  // namespace ortiva
