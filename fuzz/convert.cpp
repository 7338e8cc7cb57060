// Integer conversion against a small reference of its grammar: blanks, one
// optional sign, at least one digit, blanks, inside the 32-bit signed range.
// Input: two 4-byte bounds for the range check, then the text.
#include "convert.h"
#include "fuzz_check.h"

#include <cstring>
#include <optional>

using namespace ortiva;

namespace {

std::optional<int64_t> Reference(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
    }
    while (text.size() > 1 && text.front() == '0') {
        text.remove_prefix(1);
    }
    if (text.size() > 10) {
        return std::nullopt;
    }
    int64_t value = 0;
    for (char c : text) {
        value = value * 10 + (c - '0');
    }
    value = negative ? -value : value;
    if (value < INT32_MIN || value > INT32_MAX) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    int32_t lo = 0;
    int32_t hi = 999;
    if (size >= 8) {
        std::memcpy(&lo, data, 4);
        std::memcpy(&hi, data + 4, 4);
        data += 8;
        size -= 8;
    }
    const std::string_view text = fuzz::AsText(data, size);
    const std::optional<int64_t> expected = Reference(text);

    int32_t value = 12345;
    FUZZ_CHECK(TryStrToInt(text, value) == expected.has_value());
    if (expected) {
        FUZZ_CHECK(value == *expected);
        FUZZ_CHECK(StrToInt(text) == *expected);
    } else {
        try {
            StrToInt(text);
            FUZZ_CHECK(!"StrToInt accepted a text outside its grammar");
        } catch (const EConvertError& e) {
            // what() ends at a zero byte of the text.
            FUZZ_CHECK(std::strcmp(e.what(), NotAnIntegerMessage(text).c_str()) == 0);
            FUZZ_CHECK(NotAnIntegerMessage(text) == "'" + std::string(text) + "' is not a valid integer value");
        }
    }

    try {
        const int32_t inRange = StrToIntInRange(text, lo, hi, "field");
        FUZZ_CHECK(expected && inRange == *expected && lo <= inRange && inRange <= hi);
    } catch (const EConvertError&) {
        FUZZ_CHECK(!expected);
    } catch (const EInputError& e) {
        FUZZ_CHECK(expected && (*expected < lo || *expected > hi));
        const std::string message =
            "field: '" + std::string(text) + "' is outside " + std::to_string(lo) + " to " + std::to_string(hi);
        FUZZ_CHECK(std::strcmp(e.what(), message.c_str()) == 0);
    }
    return 0;
}
