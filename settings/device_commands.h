// Per-device MODBUS parameters: the device query, the set commands of the
// "MODBUS Parameter Configuration" page and the custom HART command parsing,
// plus what the device selection and the meter-type change do to the page.
//
// Builders take the controls' values as plain inputs (list indexes with -1
// for no selection, edit texts one character per byte) and give the Command
// the window sends. A list travels as "0" plus its index ("/" with nothing
// selected); the preamble list as "4" plus its index, the address-bits list
// as "3" plus its index. Integer texts that are not integers raise
// EConvertError; values their digits cannot carry raise EInputError. Either
// way nothing is built.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "exchange_rules.h"
#include "field_sink.h"

namespace ortiva {

inline constexpr int kDeviceCount = 5;              // ComboBox41: "Device 0" to "Device 4"
inline constexpr int kCustomCommandByteLimit = 14;  // Edit4, Edit5

// "QQQ#QQ" + device digit + "#": Button31, and ComboBox41 after a device
// selection. PendingCode 301, TimeoutKind 2.
Command ModbusParamsQueryCommand(int device);

// Button10: "QQS#HARTd:e,m,tt,p,ccc#" from ComboBox6, ComboBox16, ComboBox17,
// ComboBox34 and Edit1 (the buffer clear time, 0 to 999 seconds).
Command HartPollingCommand(int device, int enabledIndex, int deviceModeIndex, int meterTypeIndex, int preambleIndex,
                           std::string_view clearTimeText);

// Button21: "QQS#DFOTd:" + the digits of FAMOUT1, FAMOUT3, FAMOUT5, FAMOUT7,
// FAMOUT9 + "#".
Command OutputFormatsCommand(int device, const std::array<int, 5>& formatIndexes);

// Button2: "QQS#FMW:" + ComboBox18 digit + "," + five characters of Beilv + "#".
// Button19: "QQS#FMU:" + five characters of xishu2, xishu3, xishu4 with "," between + "#".
// A coefficient longer than five characters is cut to five. A shorter one
// that is a plain decimal number (optional "-", digits, at most one ".") is
// completed with zeros after its decimal separator ("0.5" -> "0.500",
// "2" -> "2.000"), which the module reads as the same value; any other
// shorter text raises EInputError.
Command Variable1CoefficientCommand(int modeIndex, std::string_view beilvText);
Command VariableCoefficientsCommand(std::string_view xishu2Text, std::string_view xishu3Text,
                                    std::string_view xishu4Text);

// The five characters a coefficient travels as (the rule above).
std::string CoefficientField(std::string_view text, std::string_view what);

// Button17 (command 1, Edit4, ComboBox28) and Button18 (command 2, Edit5,
// ComboBox29): "QQS#CAMDdk:f<nn," followed by the n raw bytes typed as hex
// byte text (at most 14), no closing "#", hex echo. A text that the hex byte
// conversion refuses comes back as its message and nothing is sent.
struct ReadMeterCommandResult {
    Command command;
    std::string message;  // "NO SPACK" / "Data eeore!": show it, send nothing
    bool ok() const { return message.empty(); }
};
ReadMeterCommandResult ReadMeterCommand(int device, int commandNumber, int openIndex, std::string_view hexText);

// One row of the custom parsing format: RADCOMx, READADRx (0 to 99), READLGx.
struct ParsingRow {
    int commandIndex = -1;
    std::string startAddressText;
    int lengthIndex = -1;
};
// Button12: "QQS#MDBSd:b,caal,caal,caal,caal#" (32 bytes) from ComboBox15 and
// the four rows in order.
Command ParsingFormatCommand(int device, int addressBitsIndex, const std::array<ParsingRow, 4>& rows);

// Register labels of device d: Label19, Label24, Label27, Label28, Label29.
inline constexpr std::array<const char*, 5> kRegisterLabels = {"Label19", "Label24", "Label27", "Label28", "Label29"};
// "400" + d + "1", "3", "5", "7", "9" (no colon); d from 0 to 4.
std::array<std::string, 5> RegisterLabelTexts(int device);

// What a device selection clears (ComboBox41, while the port is open), before
// its query; the send sequence then empties the Send and Receive Buffers.
inline constexpr std::array<const char*, 26> kDeviceSelectionClearedLists = {
    "ComboBox6", "ComboBox17", "ComboBox16", "ComboBox34", "FAMOUT1",  "FAMOUT3",   "FAMOUT5",
    "FAMOUT7",   "FAMOUT9",    "ComboBox28", "ComboBox29", "RADCOM1",  "RADCOM3",   "RADCOM5",
    "RADCOM7",   "READLG1",    "READLG3",    "READLG5",    "READLG7",  "ComboBox7", "RS485ADY",
    "RS485BDY",  "ComboBox2",  "ComboBox4",  "ComboBox8",  "ComboBox9"};
inline constexpr std::array<const char*, 9> kDeviceSelectionClearedEdits = {
    "Edit1", "Edit4", "Edit5", "READADR1", "READADR3", "READADR5", "READADR7", "Edit14", "Edit6"};

// What choosing meter type 0 by hand clears (the group is shown as well).
inline constexpr std::array<const char*, 11> kMeterTypeClearedLists = {
    "ComboBox28", "ComboBox29", "RADCOM1", "RADCOM3", "RADCOM5",   "RADCOM7",
    "READLG1",    "READLG3",    "READLG5", "READLG7", "ComboBox15"};
inline constexpr std::array<const char*, 6> kMeterTypeClearedEdits = {"Edit4",    "Edit5",    "READADR1",
                                                                      "READADR3", "READADR5", "READADR7"};

inline constexpr const char* kCustomParsingGroup = "GroupBox13";

// Device selection, after the window has checked PortOpen: register labels,
// Edit19 = d followed by "0", Edit20 = "10", the clearing above and
// GroupBox13 hidden. A device outside 0 to 4 changes labels and Edit19 not.
void ApplyDeviceSelection(FieldSink& out, int device);

// ComboBox17 changed by the operator: any type but 0 hides GroupBox13; type 0
// shows it and clears it.
void ApplyMeterTypeChange(FieldSink& out, int meterTypeIndex);

// ComboBox30 changed (HART address a): ComboBox41 selects item a (none for 5
// to 15) without running its own change handling, and for 0 to 4 the
// register labels follow.
void ApplyHartAddressChoice(FieldSink& out, int hartAddress);

}  // namespace ortiva
