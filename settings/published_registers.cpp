#include "published_registers.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <limits>

namespace ortiva {

namespace {

constexpr std::array<std::string_view, 4> kOrderNames{"ABCD", "CDAB", "BADC", "DCBA"};
constexpr std::array<std::string_view, 3> kTypeNames{"float", "int32", "uint32"};
constexpr std::array<std::string_view, kPublishedQuantities> kQuantityNames{"current", "variable 1", "variable 2",
                                                                            "variable 3", "variable 4"};

// The four bytes as they arrive: first register high, low, second high, low.
std::array<uint8_t, 4> LineBytes(uint16_t first, uint16_t second)
{
    return {static_cast<uint8_t>(first >> 8), static_cast<uint8_t>(first & 0xFF), static_cast<uint8_t>(second >> 8),
            static_cast<uint8_t>(second & 0xFF)};
}

// For each order, where on the line bytes A, B, C and D (FF4..FF1) are.
constexpr std::array<std::array<int, 4>, 4> kPositionOf{{
    {0, 1, 2, 3},  // ABCD
    {2, 3, 0, 1},  // CDAB
    {1, 0, 3, 2},  // BADC
    {3, 2, 1, 0},  // DCBA
}};

}  // namespace

std::optional<RegisterFormat> FormatOfCode(int code)
{
    switch (code) {
    case 0: return RegisterFormat{NumberType::Float, WordOrder::ABCD, false};
    case 1: return RegisterFormat{NumberType::Float, WordOrder::CDAB, false};
    case 2: return RegisterFormat{NumberType::Uint32, WordOrder::ABCD, false};
    case 3: return RegisterFormat{NumberType::Uint32, WordOrder::CDAB, false};
    case 4: return RegisterFormat{NumberType::Uint32, WordOrder::CDAB, true};
    default: return std::nullopt;
    }
}

std::string FormatName(const RegisterFormat& format)
{
    std::string name = format.magnitude ? "abs " : "";
    name += kTypeNames[static_cast<size_t>(format.type)];
    name += ' ';
    name += kOrderNames[static_cast<size_t>(format.order)];
    return name;
}

std::optional<RegisterFormat> ParseFormatName(std::string_view text)
{
    std::string t;
    for (const char c : text) {
        if (c != ' ') t += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    for (size_t type = 0; type < kTypeNames.size(); ++type) {
        std::string prefix(kTypeNames[type]);
        std::transform(prefix.begin(), prefix.end(), prefix.begin(), [](unsigned char c) { return std::toupper(c); });
        if (!t.starts_with(prefix)) continue;
        const std::string_view rest = std::string_view(t).substr(prefix.size());
        for (size_t order = 0; order < kOrderNames.size(); ++order) {
            if (rest == kOrderNames[order]) {
                return RegisterFormat{static_cast<NumberType>(type), static_cast<WordOrder>(order), false};
            }
        }
    }
    return std::nullopt;
}

std::string_view QuantityName(int quantity)
{
    return quantity >= 0 && quantity < kPublishedQuantities ? kQuantityNames[static_cast<size_t>(quantity)] : "";
}

uint32_t ValueBits(uint16_t first, uint16_t second, WordOrder order)
{
    const auto line = LineBytes(first, second);
    const auto& at = kPositionOf[static_cast<size_t>(order)];
    uint32_t bits = 0;
    for (const int position : at) {
        bits = bits << 8 | line[static_cast<size_t>(position)];
    }
    return bits;
}

double DecodeRegisters(uint16_t first, uint16_t second, const RegisterFormat& format)
{
    const uint32_t bits = ValueBits(first, second, format.order);
    switch (format.type) {
    case NumberType::Float: return static_cast<double>(std::bit_cast<float>(bits));
    case NumberType::Int32: return static_cast<double>(static_cast<int32_t>(bits));
    case NumberType::Uint32: return static_cast<double>(bits);
    }
    return 0;
}

std::array<uint16_t, 2> EncodeRegisters(double value, const RegisterFormat& format)
{
    uint32_t bits = 0;
    if (format.type == NumberType::Float) {
        bits = std::bit_cast<uint32_t>(static_cast<float>(format.magnitude ? std::fabs(value) : value));
    } else {
        double v = format.magnitude ? std::fabs(value) : value;
        v = std::isnan(v) ? 0 : std::round(v);
        if (format.type == NumberType::Int32) {
            v = std::clamp(v, double{std::numeric_limits<int32_t>::min()}, double{std::numeric_limits<int32_t>::max()});
            bits = static_cast<uint32_t>(static_cast<int32_t>(v));
        } else {
            v = std::clamp(v, 0.0, double{std::numeric_limits<uint32_t>::max()});
            bits = static_cast<uint32_t>(v);
        }
    }
    const std::array<uint8_t, 4> valueBytes{static_cast<uint8_t>(bits >> 24), static_cast<uint8_t>(bits >> 16),
                                            static_cast<uint8_t>(bits >> 8), static_cast<uint8_t>(bits)};
    std::array<uint8_t, 4> line{};
    const auto& at = kPositionOf[static_cast<size_t>(format.order)];
    for (size_t i = 0; i < 4; ++i) {
        line[static_cast<size_t>(at[i])] = valueBytes[i];
    }
    return {static_cast<uint16_t>(line[0] << 8 | line[1]), static_cast<uint16_t>(line[2] << 8 | line[3])};
}

std::string PublishedValue::Text() const
{
    char text[48];
    if (format.type == NumberType::Float) {
        if (std::isnan(value)) return "NaN";
        if (std::isinf(value)) return value < 0 ? "-Inf" : "+Inf";
        std::snprintf(text, sizeof text, "%.7g", value);
    } else {
        std::snprintf(text, sizeof text, "%.0f", value);
    }
    return text;
}

std::string PublishedValue::RawText() const
{
    char text[16];
    std::snprintf(text, sizeof text, "%04X %04X", unsigned{raw[0]}, unsigned{raw[1]});
    return text;
}

std::string CsvColumnName(int device, int quantity, const RegisterFormat& format)
{
    return "device " + std::to_string(device) + " " + std::string(QuantityName(quantity)) + " (" +
           std::to_string(FirstRegisterOf(device) + 2 * quantity) + ", " + FormatName(format) + ")";
}

std::string CsvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

std::array<PublishedValue, kPublishedQuantities>
DecodeDevice(int device, std::span<const uint16_t> registers,
             const std::array<RegisterFormat, kPublishedQuantities>& formats)
{
    std::array<PublishedValue, kPublishedQuantities> values{};
    for (size_t q = 0; q < values.size(); ++q) {
        PublishedValue& v = values[q];
        v.reg = FirstRegisterOf(device) + 2 * static_cast<int>(q);
        v.format = formats[q];
        if (2 * q + 1 < registers.size()) {
            v.raw = {registers[2 * q], registers[2 * q + 1]};
            v.value = DecodeRegisters(v.raw[0], v.raw[1], v.format);
        } else {
            v.value = std::numeric_limits<double>::quiet_NaN();
        }
    }
    return values;
}

}  // namespace ortiva
