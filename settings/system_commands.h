// Commands of the "System Parameter" page, the module operation mode, the
// board serial number, the two hidden header commands and the two system
// queries.
//
// Every builder takes the plain values of its controls (a list's selected
// index, -1 for none; an edit's text, one character per byte) and gives the
// frame with what the send sequence needs. Builders refuse bad input by
// throwing before anything is built, so nothing is sent:
//  - EConvertError "'<text>' is not a valid integer value" for a text that is
//    not an integer;
//  - EInputError "<field>: '<text>' is outside <lo> to <hi>" for a number
//    its field cannot carry (three-digit fields 0..999, five-digit fields
//    0..99999, serial number and inspector 0 or more).
// A list travels as '0' + index, '/' for no selection.
#pragma once

#include <string_view>

#include "exchange_rules.h"

namespace ortiva {

// Button5 "Set", RS232/RS485A serial port: "QQS#BA1:" B P "#" from ComboBox2
// (baud) and ComboBox4 (parity). Closes the tool's port 2000 ms later.
Command SetSerialACommand(int comboBox2, int comboBox4);

// Button9 "Set", RS485B serial port: "QQS#BA2:" B P "#" from ComboBox8 and
// ComboBox9. Closes the tool's port 2000 ms later.
Command SetSerialBCommand(int comboBox8, int comboBox9);

// Button29: "QQS#ADR:" + three digits of Edit14 + "#".
Command SetSlaveAddressCommand(std::string_view edit14);

// Button24 (ComboBox7, working mode) and Button22 (ComboBox14, module
// operation mode) send the same key: "QQS#MD:" M "#".
Command SetModeCommand(int modeIndex);

// Button15 (RS485ADY) / Button33 (RS485BDY): "QQS#XY1:" T "#" / "QQS#XY2:" T "#".
Command SetReturnTimeACommand(int rs485ady);
Command SetReturnTimeBCommand(int rs485bdy);

// Button27: "QQS#JTM:" + three digits of Edit6 (units of 10 ms) + "#".
Command SetPollingIntervalCommand(std::string_view edit6);

// Button28 / Button32: "QQS#AADR:" / "QQS#BADR:" + five digits of ABadr /
// BBadr + "#".
Command SetBaseAddressACommand(std::string_view abadr);
Command SetBaseAddressBCommand(std::string_view bbadr);

// Button30 "Parameter Initialization": "QQS#RESET#".
Command ParameterInitializationCommand();

// Double clicks on the header labels: Label8 "QQS#YB:1#", Label51 "QQS#YB:2#".
Command Label8Command();
Command Label51Command();

// Button60: "KAVORN#PCBSN:" serial "," inspector "#", the number in PCBSN with
// at least 8 digits and the number typed in JIANZHI's text with at least 3
// (a longer number keeps all its digits). The serial is converted first.
// Awaits nothing: timer ReplyTimer::None, and the window leaves both buffers,
// PendingCode, TimeoutKind and the timers as they are.
Command SerialNumberCommand(std::string_view pcbsn, std::string_view jianzhi);

// Button6 "Communication Query": "QQQ#QV#", code 201, timeout kind 1.
Command CommunicationQueryCommand();

// Button23 "System Parameters": "QQQ#QX#", code 202, timeout kind 2.
Command SystemParametersQueryCommand();

}  // namespace ortiva
