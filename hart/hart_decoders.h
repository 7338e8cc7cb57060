// Decoding of the HART replies to command 0 (identity) and command 3
// (variables), as they arrive in one received chunk.
//
// A reply is found by its last preamble byte: the first position k where
// 0xFF is followed by the expected delimiter, scanning k from 0 to length-5.
// Fields are read at fixed positions from k, and only inside the chunk: a
// reply cut short shows what it completely holds and never bytes that an
// earlier, longer chunk left behind.
//
// Results go to the window's controls through FieldSink, by design names.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "exchange_rules.h"
#include "field_sink.h"
#include "hart_frames.h"

namespace ortiva {

inline constexpr uint8_t kHartIdentityReplyDelimiter = 0x06;   // short frame from a slave
inline constexpr uint8_t kHartVariablesReplyDelimiter = 0x86;  // long frame from a slave

// The edits of the "HART Device Basic Parameters" group (Button7 empties them).
inline constexpr std::array<const char*, 4> kHartIdentityEdits = {"Edit28", "Edit29", "Edit31", "Edit32"};

// One variable slot: value edit, unit list, mirror label on the MODBUS page.
struct HartSlotControls {
    const char* valueEdit;
    const char* unitList;
    const char* mirrorLabel;
};
inline constexpr std::array<HartSlotControls, 4> kHartSlots = {{
    {"Edit25", "ComboBox3", "HLabel2"},
    {"Edit26", "ComboBox31", "HLabel3"},
    {"Edit27", "ComboBox32", "HLabel4"},
    {"Edit30", "ComboBox33", "HLabel5"},
}};

// Position of the last preamble byte, or nothing (always nothing for fewer
// than 5 bytes).
std::optional<size_t> FindHartReply(std::span<const uint8_t> chunk, uint8_t delimiter);

// The text of a variable: "00000000" when the first byte is 0x7F (the HART
// "not a number" value among others), else the float text cut to 9
// characters with `sep` as the decimal separator.
std::string HartValueText(const std::array<uint8_t, 4>& bytes, const std::string& sep);

// Command 0 reply. Found and complete through the device id (k+18): the
// identity takes manufacturer id, device type, required preambles and device
// id, Edit28/29/31/32 show them in decimal and ComboBox27 selects
// identity.PollAddress. Otherwise the four edits are emptied and the identity
// is kept.
void DecodeHartIdentityReply(std::span<const uint8_t> chunk, HartIdentity& identity, FieldSink& out);

// Command 3 reply. Slot 1 when found; slots 2, 3, 4 when the byte count at
// k+8 exceeds 11, 16, 21. A slot is filled only when its unit code and four
// value bytes are all inside the chunk; others keep their contents.
// Returns the number of slots filled.
int DecodeHartVariablesReply(std::span<const uint8_t> chunk, FieldSink& out, const std::string& sep);

// The same for the chunk held in the exchange state, as the parse tick runs
// them: RxLength is set to the length of the chunk as kept in RxText (its
// first 255 bytes) and those bytes of RxBytes are decoded.
void DecodeHartIdentityReply(ExchangeState& s, HartIdentity& identity, FieldSink& out);
int DecodeHartVariablesReply(ExchangeState& s, FieldSink& out, const std::string& sep);

}  // namespace ortiva
