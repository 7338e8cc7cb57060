// Byte <-> text conversions shared by every binary frame and reply.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ortiva {

// Two upper-case hex digits of a value 0..255; any other value gives ".".
std::string ByteToHex(int value);

// Each byte as two upper-case hex digits followed by one blank: {0x51, 0x0A} -> "51 0A ".
std::string HexText(std::span<const uint8_t> bytes);
std::string HexText(std::string_view bytes);

// The operator's hex byte text ("76 89 FD AD") with a byte limit (14 or 15).
// On refusal `bytes` is empty and `error` holds the message to show.
struct HexBytesResult {
    std::vector<uint8_t> bytes;
    std::string error;  // "", "NO SPACK" or "Data eeore!"
    bool ok() const { return error.empty(); }
};
inline constexpr const char* kNoSpack = "NO SPACK";
inline constexpr const char* kDataError = "Data eeore!";

// Count N = L div 3, plus 1 when L mod 3 is 2, cut to `limit`; characters after
// the N-th pair are ignored. N = 0, or a non-blank after any pair but the last,
// refuses with "NO SPACK"; a character other than 0-9 / A-F (upper case) in a
// counted pair refuses with "Data eeore!" (all pairs are examined first).
HexBytesResult ParseHexBytes(std::string_view text, int limit);

// A text of one character per byte (the way frames are echoed and replies held).
inline std::string BytesToString(std::span<const uint8_t> bytes)
{
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

}  // namespace ortiva
