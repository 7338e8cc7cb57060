// What the control system reads from the module: in its MODBUS working modes
// the module publishes, for each device d (0..4), ten holding registers from
// 40001 + 10*d: the loop current and variables 1 to 4, two registers each,
// each quantity in the output format configured for that device (FAMOUT1,
// FAMOUT3, FAMOUT5, FAMOUT7, FAMOUT9).
//
// Byte names: FF4 is the most significant byte of the 32-bit value, FF1 the
// least; each register travels high byte first, as MODBUS sends it. A format
// "FF4 FF3 FF2 FF1" therefore puts FF4 FF3 in the first register (order
// ABCD) and "FF2 FF1 FF4 FF3" puts FF2 FF1 there (order CDAB).
//
// The absolute-value format (FAMOUT code 4, "(FF2 FF1 FF4 FF3)") is read as
// the magnitude of the value as an unsigned 32-bit integer in order CDAB:
// the list places it after the two unsigned formats, and an unsigned integer
// is the one format that has no room for a sign. The raw registers travel
// with every decoded value, so nothing is hidden where a reading is in doubt.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace ortiva {

inline constexpr int kPublishedDevices = 5;
inline constexpr int kPublishedQuantities = 5;  // loop current, variables 1..4
inline constexpr int kRegistersPerDevice = 2 * kPublishedQuantities;

// The first register a device publishes: 40001 + 10 * device.
constexpr int FirstRegisterOf(int device) { return 40001 + kRegistersPerDevice * device; }
// Its 0-based protocol address (what a request carries): 10 * device.
constexpr int FirstAddressOf(int device) { return kRegistersPerDevice * device; }

enum class NumberType { Float, Int32, Uint32 };
// Which byte of the value (A = FF4, most significant) travels where: the four
// letters in the order they arrive on the line.
enum class WordOrder { ABCD, CDAB, BADC, DCBA };

struct RegisterFormat {
    NumberType type = NumberType::Float;
    WordOrder order = WordOrder::ABCD;
    bool magnitude = false;  // the absolute-value format: no sign travels

    bool operator==(const RegisterFormat&) const = default;
};

// The format a FAMOUT code stands for (0..4); nullopt for any other code.
std::optional<RegisterFormat> FormatOfCode(int code);

// "float ABCD", "uint32 CDAB", "abs uint32 CDAB", ...
std::string FormatName(const RegisterFormat& format);
// The inverse, for a user's override: "float", "int32" or "uint32", a blank
// or nothing, then "ABCD", "CDAB", "BADC" or "DCBA" (any case). nullopt when
// the text is none of these.
std::optional<RegisterFormat> ParseFormatName(std::string_view text);

// The names of the five quantities: "current", "variable 1".."variable 4".
std::string_view QuantityName(int quantity);

struct PublishedValue {
    int reg = 0;  // its first register, 4xxxx
    RegisterFormat format;
    std::array<uint16_t, 2> raw{};  // the two registers as received
    double value = 0;               // the decoded number (NaN and infinities pass through)

    // The value as text: a float with up to 7 significant digits, an integer
    // in full.
    std::string Text() const;
    // The raw registers as "3F80 0000".
    std::string RawText() const;
};

// The 32-bit value two registers carry in the given order, most significant
// byte first.
uint32_t ValueBits(uint16_t first, uint16_t second, WordOrder order);
// The number two registers carry in the format.
double DecodeRegisters(uint16_t first, uint16_t second, const RegisterFormat& format);
// The registers a number travels in (the module's side, and the simulator's
// reference); a float is rounded to single precision, an integer rounded to
// the nearest and held within its type's range.
std::array<uint16_t, 2> EncodeRegisters(double value, const RegisterFormat& format);

// The CSV forms of samples, shared by `ortiva-cli watch --csv` and the
// window's Live Values export: a header "time" and one column per quantity
// named "device 0 current (40001, float ABCD)", rows of an ISO 8601 UTC time
// stamp and the values' texts, lines ended by CR LF.
std::string CsvColumnName(int device, int quantity, const RegisterFormat& format);
// A field as it is written: quoted (RFC 4180) when it holds a comma, a quote
// or a line break.
std::string CsvField(const std::string& text);
inline constexpr const char* kCsvLineEnd = "\r\n";

// One device's ten registers, decoded quantity by quantity.
std::array<PublishedValue, kPublishedQuantities>
DecodeDevice(int device, std::span<const uint16_t> registers,
             const std::array<RegisterFormat, kPublishedQuantities>& formats);

}  // namespace ortiva
