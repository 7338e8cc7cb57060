// Decoding of the reply to "QQQ#QQd#", the MODBUS parameters of one device
// with its custom HART command parsing, into the page's controls.
//
// Sections are found by the first occurrence of their key; '?' positions are
// not compared. The steps run in a fixed order: "FMW:", "FMU:", "HART?:",
// "DFO?:", then the custom parsing group is shown only when ComboBox17 now
// holds meter type 0 (otherwise it is hidden and decoding ends), then "ZDY?:",
// "MD:", "CAMD?1:", "CAMD?2:". A missing key changes nothing.
//
// Fields past the end of the reply are not applied: a digit needs its
// character, a text field all of its characters, and a command text all of
// the 3n-1 characters its count n asks for (the edit otherwise keeps what it
// had). A character that is there but is not a digit where a digit stands
// raises EConvertError; the fields applied before it stay applied.
#pragma once

#include <string_view>

#include "field_sink.h"

namespace ortiva {

void DecodeModbusParamsReply(std::string_view rxText, FieldSink& out);

}  // namespace ortiva
