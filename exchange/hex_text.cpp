#include "hex_text.h"

namespace ortiva {

namespace {
constexpr char kDigits[] = "0123456789ABCDEF";

int NibbleOf(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
}  // namespace

std::string ByteToHex(int value)
{
    if (value < 0 || value > 255) return ".";
    return std::string{kDigits[value / 16], kDigits[value % 16]};
}

std::string HexText(std::span<const uint8_t> bytes)
{
    std::string out;
    out.reserve(bytes.size() * 3);
    for (uint8_t b : bytes) {
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
        out += ' ';
    }
    return out;
}

std::string HexText(std::string_view bytes)
{
    return HexText(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

HexBytesResult ParseHexBytes(std::string_view text, int limit)
{
    HexBytesResult r;
    const size_t len = text.size();
    size_t n = len / 3 + (len % 3 == 2 ? 1 : 0);
    if (limit < 0) limit = 0;
    if (n > static_cast<size_t>(limit)) n = static_cast<size_t>(limit);
    if (n == 0) {
        r.error = kNoSpack;
        return r;
    }
    for (size_t k = 0; k + 1 < n; ++k) {
        if (text[3 * k + 2] != ' ') {
            r.error = kNoSpack;
            return r;
        }
    }
    bool bad = false;
    r.bytes.reserve(n);
    for (size_t k = 0; k < n; ++k) {
        int hi = NibbleOf(text[3 * k]);
        int lo = NibbleOf(text[3 * k + 1]);
        if (hi < 0 || lo < 0) {
            bad = true;
            continue;
        }
        r.bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
    }
    if (bad) {
        r.bytes.clear();
        r.error = kDataError;
    }
    return r;
}

}  // namespace ortiva
