// The operator's hex byte text (ParseHexBytes) against its stated rule, read
// back through the hex writer; ByteToHex for any value.
// Input: one byte choosing the limit (14 or 15), then the text.
#include "hex_text.h"
#include "fuzz_check.h"

#include <algorithm>
#include <cstring>

using namespace ortiva;

namespace {

bool UpperHex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) {
        return 0;
    }
    const int limit = data[0] % 2 == 0 ? 14 : 15;
    const std::string_view text = fuzz::AsText(data + 1, size - 1);

    // The rule as the header states it.
    const size_t len = text.size();
    const size_t n = std::min<size_t>(len / 3 + (len % 3 == 2 ? 1 : 0), static_cast<size_t>(limit));
    std::string expectedError;
    if (n == 0) {
        expectedError = kNoSpack;
    } else {
        for (size_t k = 0; k + 1 < n && expectedError.empty(); ++k) {
            if (text[3 * k + 2] != ' ') {
                expectedError = kNoSpack;
            }
        }
        for (size_t k = 0; k < n && expectedError.empty(); ++k) {
            if (!UpperHex(text[3 * k]) || !UpperHex(text[3 * k + 1])) {
                expectedError = kDataError;
            }
        }
    }

    const HexBytesResult r = ParseHexBytes(text, limit);
    FUZZ_CHECK(r.error == expectedError);
    if (!r.ok()) {
        FUZZ_CHECK(r.bytes.empty());
        return 0;
    }
    FUZZ_CHECK(r.bytes.size() == n);
    // Read back through the writer: the same pairs, and the writer's text parses
    // to the same bytes.
    const std::string written = HexText(r.bytes);
    FUZZ_CHECK(written.size() == 3 * n);
    for (size_t k = 0; k < n; ++k) {
        FUZZ_CHECK(written.compare(3 * k, 2, text.substr(3 * k, 2)) == 0);
        FUZZ_CHECK(ByteToHex(r.bytes[k]) == written.substr(3 * k, 2));
    }
    const HexBytesResult again = ParseHexBytes(written, limit);
    FUZZ_CHECK(again.ok() && again.bytes == r.bytes);
    FUZZ_CHECK(ParseHexBytes(written.substr(0, written.size() - 1), limit).bytes == r.bytes);

    // ByteToHex: two upper-case digits inside 0..255, "." outside.
    if (size >= 5) {
        int value;
        std::memcpy(&value, data + 1, sizeof value);
        const std::string hex = ByteToHex(value);
        if (value >= 0 && value <= 255) {
            FUZZ_CHECK(hex.size() == 2 && UpperHex(hex[0]) && UpperHex(hex[1]));
            FUZZ_CHECK(std::stoi(hex, nullptr, 16) == value);
        } else {
            FUZZ_CHECK(hex == ".");
        }
    }
    return 0;
}
