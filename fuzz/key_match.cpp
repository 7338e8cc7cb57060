// Key match: FindKey against a plain search with '?' as any character; the
// readers never read past the reply and raise only EConvertError.
// Input: key, 0x00, reply, then the last three bytes give a position and a count.
#include "key_match.h"
#include "convert.h"
#include "fuzz_check.h"

using namespace ortiva;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3) {
        return 0;
    }
    const size_t pos = data[size - 3] | (size_t{data[size - 2]} << 8 & 0x100);
    const size_t count = data[size - 1] % 16;
    std::string_view fields[2];
    fuzz::SplitFields(fuzz::AsText(data, size - 3), fields);
    const std::string_view key = fields[0];
    const std::string_view text = fields[1];

    size_t expected = std::string_view::npos;
    if (!key.empty()) {
        for (size_t p = 0; p + key.size() <= text.size() && expected == std::string_view::npos; ++p) {
            bool same = true;
            for (size_t i = 0; i < key.size(); ++i) {
                same = same && (key[i] == kAnyChar || key[i] == text[p + i]);
            }
            if (same) {
                expected = p;
            }
        }
    }
    FUZZ_CHECK(FindKey(text, key) == expected);

    const std::string field = TextAt(text, pos, count);
    FUZZ_CHECK(field == (pos < text.size() ? text.substr(pos, count) : std::string_view{}));

    // A number needs all its characters, each a digit (a sign or blanks around
    // them are what StrToInt accepts).
    try {
        const int number = NumberAt(text, pos, count);
        FUZZ_CHECK(field.size() == count);
        FUZZ_CHECK(number == StrToInt(field));
    } catch (const EConvertError&) {
        int32_t ignored;
        FUZZ_CHECK(field.size() < count || !TryStrToInt(field, ignored));
    }
    try {
        const int digit = DigitAt(text, pos);
        FUZZ_CHECK(pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digit == text[pos] - '0');
    } catch (const EConvertError&) {
        FUZZ_CHECK(pos >= text.size() || text[pos] < '0' || text[pos] > '9');
    }
    return 0;
}
