#include "ieee754_calc.h"

#include "float_text.h"

namespace ortiva {

namespace {
int NibbleOf(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
}  // namespace

CalculatorInput ParseCalculatorInput(std::string_view text)
{
    CalculatorInput r;
    const size_t q = text.size() / 3;
    // Every pair but the one after the last full group of three is followed by
    // a blank; these positions all lie inside the text.
    for (size_t i = 0; i < q; ++i) {
        if (text[3 * i + 2] != ' ') {
            r.message = kNoSpacesMessage;
            return r;
        }
    }
    for (size_t i = 0; i <= q; ++i) {
        if (3 * i + 1 >= text.size()) {  // pair not wholly inside the text
            r.message = kInvalidCharactersMessage;
            break;
        }
        const int hi = NibbleOf(text[3 * i]);
        const int lo = NibbleOf(text[3 * i + 1]);
        if (hi < 0 || lo < 0) {
            r.message = kInvalidCharactersMessage;
            break;
        }
        if (i < r.bytes.size()) r.bytes[i] = static_cast<uint8_t>(hi * 16 + lo);
    }
    if (!r.ok()) r.bytes = {};
    return r;
}

CalculatorResult Calculate(std::string_view edit7, const std::string& sep)
{
    CalculatorResult r;
    const CalculatorInput in = ParseCalculatorInput(edit7);
    if (!in.ok()) {
        r.message = in.message;
        return r;
    }
    r.value = FloatText(in.bytes, kCalculatorWidth, sep);
    return r;
}

}  // namespace ortiva
