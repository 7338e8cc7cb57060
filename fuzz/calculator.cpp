// The IEEE 754 calculator against its input grammar (3k+2 characters, a blank
// at every third, upper-case hex pairs; the first four pairs are the bytes),
// its two messages, and its value text within Edit22's 10 characters.
// Input: one byte for the separator, then the text of Edit7.
#include "float_text.h"
#include "fuzz_check.h"
#include "ieee754_calc.h"

using namespace ortiva;

namespace {

int Nibble(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) {
        return 0;
    }
    const std::string sep = data[0] & 1 ? "," : ".";
    const std::string_view text = fuzz::AsText(data + 1, size - 1);

    std::string message;
    for (size_t i = 2; i < text.size() && message.empty(); i += 3) {
        if (text[i] != ' ') {
            message = kNoSpacesMessage;
        }
    }
    std::array<uint8_t, 4> bytes{};
    if (message.empty()) {
        if (text.size() % 3 != 2) {
            message = kInvalidCharactersMessage;
        }
        for (size_t i = 0; i < text.size() / 3 + 1 && message.empty(); ++i) {
            const int hi = Nibble(text[3 * i]);
            const int lo = Nibble(text[3 * i + 1]);
            if (hi < 0 || lo < 0) {
                message = kInvalidCharactersMessage;
            } else if (i < 4) {
                bytes[i] = static_cast<uint8_t>(hi * 16 + lo);
            }
        }
    }

    const CalculatorInput input = ParseCalculatorInput(text);
    FUZZ_CHECK(input.message == message);
    FUZZ_CHECK(input.bytes == (message.empty() ? bytes : std::array<uint8_t, 4>{}));

    const CalculatorResult result = Calculate(text, sep);
    FUZZ_CHECK(result.message == message);
    if (result.ok()) {
        FUZZ_CHECK(result.value.size() <= kCalculatorWidth);
        FUZZ_CHECK(result.value == FloatText(bytes, kCalculatorWidth, sep));
    } else {
        FUZZ_CHECK(result.value.empty());
    }
    return 0;
}
