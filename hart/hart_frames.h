// HART request frames the tool sends through the module in transparent mode.
//
// Every frame is: N+1 preamble bytes 0xFF (N from the "Preamble Length:" edit
// Edit9), a delimiter, the address, the command, a byte count, the data and a
// checksum (XOR from the delimiter through the last data byte). Short frames
// (delimiter 0x02) carry one address byte, the master bit plus the polling
// address; long frames (0x82) carry five, built from the identity of the
// instrument last read with command 0.
//
// The builders take the page's inputs as plain values and give the Command the
// window sends (hex echo). Input they refuse raises EConvertError (Edit9 not an
// integer) or EInputError (a preamble length or address out of range); the
// manual frame's hex text refusal comes back as a message instead, because it
// is shown as a plain message box.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "exchange_rules.h"

namespace ortiva {

// The instrument last identified by a command 0 reply. All zero at start.
struct HartIdentity {
    uint8_t PollAddress = 0;  // address the last device query went to
    uint8_t ManufacturerId = 0;
    uint8_t DeviceType = 0;
    uint8_t RequiredPreambles = 0;      // shown only, never used to build frames
    std::array<uint8_t, 3> DeviceId{};  // most significant first
};

inline constexpr uint8_t kHartShortDelimiter = 0x02;
inline constexpr uint8_t kHartLongDelimiter = 0x82;
inline constexpr uint8_t kHartCommandIdentity = 0;   // read unique identifier
inline constexpr uint8_t kHartCommandVariables = 3;  // loop current and dynamic variables
inline constexpr uint8_t kHartCommandAddress = 6;    // write polling address
inline constexpr int kHartPollAddressMax = 15;       // ComboBox30: "0" to "15"
inline constexpr int kHartNewAddressMax = 8;         // ComboBox27: "0" to "8"
inline constexpr int kHartManualByteLimit = 15;      // Edit10

// 0x80 only while item 0 ("Master Mode") of ComboBox42 is selected; item 1
// and no selection (the state at start) give 0x00.
uint8_t HartMasterBit(int commandModeIndex);

// XOR of the bytes (the checksum of a frame body from its delimiter on).
uint8_t HartChecksum(std::span<const uint8_t> bytes);

// N from Edit9 for a frame with `bytesAfterPreambles` bytes behind its
// preambles. EConvertError when the text is not an integer; EInputError when
// N is below -1 or the N+1 preambles would not leave room for the frame in
// TxFrame (504 bytes).
int HartPreambleCount(std::string_view edit9Text, size_t bytesAfterPreambles);

// An editable address list (ComboBox30, ComboBox27): its selected index and
// the text it shows (which the operator may have typed over).
struct HartAddressChoice {
    int index = -1;
    std::string text;
};

// The address the list stands for: the selected item when the text shown is
// that item's number (or empty); otherwise the typed text, when it is a
// number from 0 to maxAddress. Anything else raises EInputError naming `what`.
int HartAddressFromList(const HartAddressChoice& choice, int maxAddress, std::string_view what);

// Frames without the send-sequence details (preamble count N, -1 for none).
std::vector<uint8_t> HartShortFrame(int preambles, uint8_t address, uint8_t command, std::span<const uint8_t> data);
std::vector<uint8_t> HartLongFrame(int preambles, uint8_t masterBit, const HartIdentity& identity, uint8_t command,
                                   std::span<const uint8_t> data);

// Button7 "HART Device Parameter Query": short frame, command 0, to the
// address of ComboBox30. Sets identity.PollAddress once the frame is built.
// PendingCode 100, TimeoutKind 3, Timer3 with its interval unchanged.
Command HartDeviceQueryCommand(HartIdentity& identity, std::string_view edit9Text, int commandModeIndex,
                               const HartAddressChoice& comboBox30);

// Button16 "HART Command Query": long frame, command 3, to the identity.
// PendingCode 103, TimeoutKind 3, Timer3 with its interval unchanged.
Command HartVariablesQueryCommand(const HartIdentity& identity, std::string_view edit9Text, int commandModeIndex);

// Button14 "Set" (HART address): long frame, command 6, data = the new
// address of ComboBox27. PendingCode 106, TimeoutKind 3, Timer3 3000 ms.
// (The window switches RTS on before calling this.)
Command HartAddressSetCommand(const HartIdentity& identity, std::string_view edit9Text, int commandModeIndex,
                              const HartAddressChoice& comboBox27);

// Button20 "Send": the operator's bytes of Edit10 (at most 15) after the
// preambles, then their XOR. The hex text is judged before Edit9 is read.
struct HartManualResult {
    Command command;
    std::string message;  // "NO SPACK" / "Data eeore!": show it, send nothing
    bool ok() const { return message.empty(); }
};
HartManualResult HartManualCommand(std::string_view edit10Text, std::string_view edit9Text);

}  // namespace ortiva
